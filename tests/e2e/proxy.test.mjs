// The client behind a company proxy: Debian's squid is the only way to the demo
// service, whose host name only squid can resolve.
import { test } from 'node:test';
import { spawn, execFileSync } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { page, waitFor, withRoad, freePort } from './harness.mjs';

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
