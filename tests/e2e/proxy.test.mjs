// The client behind a company proxy: Debian's squid is the only way to the demo
// service, whose host name only squid can resolve. And behind a company's TLS front,
// whose certificate a root of its own signs.
import { test } from 'node:test';
import { spawn, execFileSync } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import net from 'node:net';
import tls from 'node:tls';
import path from 'node:path';
import { page, sleep, waitFor, withRoad, freePort } from './harness.mjs';

const HOST = 'service.mervo.test';
const USER = 'mervo';
const PASSWORD = 's3cret';

// squid on a free port of 127.0.0.1 with a configuration of its own; with auth,
// it asks for USER and PASSWORD (basic_ncsa_auth).
async function startSquid({ auth = false } = {}) {
  // squid drops root for its own user, which must reach these files.
  const dir = fs.mkdtempSync('/tmp/mervo-squid-');
  fs.chmodSync(dir, 0o755);
  const port = await freePort();
  fs.writeFileSync(path.join(dir, 'hosts'), `127.0.0.1 ${HOST}\n`);
  fs.writeFileSync(path.join(dir, 'passwd'), `${USER}:$1$mervo5$UUw8YTn42eP/OIrsxt4jK/\n`);
  const root = process.getuid?.() === 0;
  fs.writeFileSync(path.join(dir, 'squid.conf'), [
    `http_port 127.0.0.1:${port}`,
    root ? 'cache_effective_user proxy' : '',
    'pid_filename none',
    'cache deny all',
    'cache_mem 8 MB',
    `cache_log ${dir}/cache.log`,
    `access_log stdio:${dir}/access.log`,
    `hosts_file ${dir}/hosts`,
    // Nothing but the hosts file: a name squid does not know fails at once.
    'dns_nameservers 127.0.0.1',
    `coredump_dir ${dir}`,
    'netdb_filename none',
    'shutdown_lifetime 0 seconds',
    'acl local src 127.0.0.1/32',
    ...(auth ? [
      `auth_param basic program /usr/lib/squid/basic_ncsa_auth ${dir}/passwd`,
      'auth_param basic realm mervo',
      'acl signedIn proxy_auth REQUIRED',
      'http_access allow local signedIn',
    ] : ['http_access allow local']),
    'http_access deny all',
    '',
  ].join('\n'));
  if (root) for (const f of fs.readdirSync(dir)) fs.chmodSync(path.join(dir, f), 0o644);
  if (root) execFileSync('chown', ['proxy', dir]);
  // A service name of its own keeps its shared-memory segments apart from any other squid.
  const name = `mervo${port}`;
  const child = spawn('/usr/sbin/squid', ['-N', '-n', name, '-f', path.join(dir, 'squid.conf')],
                      { stdio: 'ignore' });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  await waitFor('squid', () => new Promise((resolve) => {
    const s = net.connect(port, '127.0.0.1', () => { s.end(); resolve(true); });
    s.on('error', () => resolve(false));
  }), 30000);
  return {
    port,
    env: { http_proxy: `http://127.0.0.1:${port}`, https_proxy: `http://127.0.0.1:${port}`,
           no_proxy: 'localhost,127.0.0.1' },
    access: () => fs.existsSync(path.join(dir, 'access.log')) ? fs.readFileSync(path.join(dir, 'access.log'), 'utf8') : '',
    async stop() {
      child.kill('SIGTERM');
      const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
      await exited;
      clearTimeout(timer);
      for (const f of fs.readdirSync('/dev/shm')) if (f.startsWith(`${name}-`)) fs.rmSync(`/dev/shm/${f}`, { force: true });
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
}

async function login(client) {
  const p = await page(client, /service\.mervo\.test:\d+\/login\/index\.html/);
  await p.ready('#login');
  await p.type('#company', 'Acme');
  await p.type('#user', 'demo');
  await p.type('#password', 'demo');
  await p.clickAway('#login');
  return page(client, /service\.mervo\.test:\d+\/workspace\/main\.html/);
}

const xdotool = (...args) => execFileSync('xdotool', args.map(String)).toString();
const visibleWindow = (name) => { try { return xdotool('search', '--onlyvisible', '--name', name).split('\n')[0]; } catch { return ''; } };

test('through squid alone: login page, workspace, a download, the chat call and the update check', async () => {
  const squid = await startSquid();
  try {
    await withRoad({ host: HOST }, async (road) => {
      const client = await road.startClient({ env: squid.env });
      const work = await login(client);
      await waitFor('the session', async () => (await work.text('#who')).includes('Acme / demo'));

      // The page's chat call, and the client's own fetch of the same answer.
      await work.click('#service');
      await waitFor('both chat calls', () =>
        (squid.access().match(/GET http:\/\/service\.mervo\.test:\d+\/tp\/wpaCall\/getProtocol/g) || []).length >= 2);

      await work.click('#download-xlsx');
      const dialog = await waitFor('the save dialog', () => visibleWindow('保存文件'));
      const target = path.join(road.root, 'through-proxy.xlsx');
      xdotool('windowfocus', '--sync', dialog);
      xdotool('key', 'ctrl+a');
      xdotool('type', '--delay', '1', target);
      xdotool('key', 'Return');
      await waitFor('the saved file', () => fs.existsSync(target) && fs.statSync(target).size > 0);

      const log = squid.access();
      for (const what of ['GET http://service.mervo.test:\\d+/login/index.html',
                          'GET http://service.mervo.test:\\d+/workspace/main.html',
                          'GET http://service.mervo.test:\\d+/files/report.xlsx',
                          'POST http://service.mervo.test:\\d+/update'])
        assert.match(log, new RegExp(what), what);
      assert.ok(fs.existsSync(path.join(road.state, 'update-requests.log')));
    });
  } finally {
    await squid.stop();
  }
});

test('a proxy that asks for a password: the dialog, then the road goes on', async () => {
  const squid = await startSquid({ auth: true });
  try {
    await withRoad({ host: HOST }, async (road) => {
      const client = await road.startClient({ env: squid.env });
      const dialog = await waitFor('the sign-in dialog', () => visibleWindow('需要身份验证'), 30000);
      xdotool('windowfocus', '--sync', dialog);
      xdotool('type', '--delay', '1', USER);
      xdotool('key', 'Tab');
      xdotool('type', '--delay', '1', PASSWORD);
      xdotool('key', 'Return');
      const work = await login(client);
      await waitFor('the session', async () => (await work.text('#who')).includes('Acme / demo'));
      assert.match(squid.access(), new RegExp(`${USER} HIER_DIRECT/127\\.0\\.0\\.1`));
    });
  } finally {
    await squid.stop();
  }
});

// https on 127.0.0.1 in front of a plain service port, with a certificate that a
// throw-away root signs: what a company's TLS-inspecting proxy looks like to the engine.
async function startTlsFront(servicePort) {
  const dir = fs.mkdtempSync('/tmp/mervo-tls-');
  const file = (name) => path.join(dir, name);
  const openssl = (...args) => execFileSync('openssl', args, { stdio: 'ignore' });
  openssl('req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', '/CN=Mervo Test Root',
          '-addext', 'basicConstraints=critical,CA:TRUE', '-addext', 'keyUsage=critical,keyCertSign,cRLSign',
          '-keyout', file('ca.key'), '-out', file('ca.crt'));
  openssl('req', '-newkey', 'rsa:2048', '-nodes', '-subj', '/CN=127.0.0.1',
          '-keyout', file('server.key'), '-out', file('server.csr'));
  fs.writeFileSync(file('server.ext'), 'subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n');
  openssl('x509', '-req', '-in', file('server.csr'), '-CA', file('ca.crt'), '-CAkey', file('ca.key'),
          '-CAcreateserial', '-days', '2', '-extfile', file('server.ext'), '-out', file('server.crt'));
  const server = tls.createServer({ key: fs.readFileSync(file('server.key')), cert: fs.readFileSync(file('server.crt')) },
    (socket) => {
      const service = net.connect(servicePort, '127.0.0.1');
      socket.pipe(service).pipe(socket);
      for (const s of [socket, service]) s.on('error', () => { socket.destroy(); service.destroy(); });
    });
  server.on('tlsClientError', () => {}); // the engine hangs up on a certificate it refuses
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    port: server.address().port,
    ca: file('ca.crt'),
    stop() { server.close(); fs.rmSync(dir, { recursive: true, force: true }); },
  };
}

test('a company TLS front: refused with the client\'s page, no retry by itself, F5 tries again; trusted once its root is in the NSS database', async () => {
  await withRoad({}, async (road) => {
    const front = await startTlsFront(road.port);
    try {
      const url = `https://127.0.0.1:${front.port}`;
      execFileSync(path.join(process.env.MERVO_DEMO_DIR, 'write-config.sh'), [path.join(road.bin, 'config.ini'), url]);
      // The engine's certificate store is the user's NSS database, not /etc/ssl.
      const home = path.join(road.root, 'home');
      fs.mkdirSync(home);
      const refusals = () => road.log().split('\n').filter((l) =>
        l.includes('certificate refused: 127.0.0.1 ERR_CERT_AUTHORITY_INVALID')).length;

      const client = await road.startClient({ env: { HOME: home } });
      const refused = await page(client, new RegExp(`127\\.0\\.0\\.1:${front.port}/login/index\\.html`));
      await waitFor('the client\'s page', async () => (await refused.eval('document.title')) === '连接不安全');
      assert.equal(await refused.text('#host'), '127.0.0.1');
      assert.match(await refused.text('#reason'), /颁发机构不受信任/);
      assert.match(await refused.text('#engine'), /^ERR_CERT_AUTHORITY_INVALID/);
      assert.equal(await refused.eval('document.querySelectorAll("button, a").length'), 0);
      // The outage page would have tried again after a second.
      await sleep(3000);
      assert.equal(refusals(), 1);
      const win = await waitFor('the window', () => visibleWindow('Mervo'));
      xdotool('windowfocus', '--sync', win);
      xdotool('key', '--window', win, 'F5');
      await waitFor('a second refusal', () => refusals() === 2);
      await waitFor('the client\'s page again', async () => (await refused.eval('document.title')) === '连接不安全');
      await refused.close();
      client.child.kill('SIGTERM');
      await waitFor('the client to end', () => client.exited, 30000);

      const nssdb = `sql:${path.join(home, '.pki', 'nssdb')}`;
      fs.mkdirSync(path.join(home, '.pki', 'nssdb'), { recursive: true });
      if (!fs.existsSync(path.join(home, '.pki', 'nssdb', 'cert9.db')))
        execFileSync('certutil', ['-N', '-d', nssdb, '--empty-password']);
      execFileSync('certutil', ['-A', '-d', nssdb, '-t', 'C,,', '-n', 'Mervo Test Root', '-i', front.ca]);
      const again = await road.startClient({ env: { HOME: home } });
      const login = await page(again, new RegExp(`127\\.0\\.0\\.1:${front.port}/login/index\\.html`));
      await login.ready('#login');
      assert.equal(refusals(), 2);
    } finally {
      front.stop();
    }
  });
});
