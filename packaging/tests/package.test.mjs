// The built installer as a person and as the updater run it, in the temporary HOME and
// XDG folders of the test, with the installed client against the demo service.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { page, waitFor, makeUser, removeUser, rendererPids } from '../../tests/e2e/harness.mjs';

const { HOME, XDG_DATA_HOME: DATA, XDG_CONFIG_HOME, XDG_CACHE_HOME, TMPDIR } = process.env;
const VERSION = process.env.MERVO_VERSION;
const PROGRAM = path.join(DATA, 'Mervo');
const ENTRY = path.join(DATA, 'applications', 'mervo-client.desktop');
const RECORD = path.join(DATA, 'MervoClient', 'login.secret');
const SIZES = [16, 24, 32, 48, 64, 128, 256];
const PACKAGES = process.env.MERVO_PACKAGE_DIR;
const TRUST = process.env.MERVO_UPDATE_TRUST;
const installer = path.join(PACKAGES, `MervoSetup-${VERSION}.run`);
const DEB = path.join(PACKAGES, `mervo-client_${VERSION}_${spawnSync('dpkg', ['--print-architecture'], { encoding: 'utf8' }).stdout.trim()}.deb`);

const run = (file, args, { cwd = HOME, env = {}, input = '' } = {}) => {
  const r = spawnSync(file, args, { cwd, input, encoding: 'utf8', env: { ...process.env, ...env } });
  return { status: r.status, out: r.stdout + r.stderr };
};
const runOk = (file, args) => {
  const r = run(file, args);
  assert.equal(r.status, 0, r.out);
};
const ini = (file, key) =>
  spawnSync(process.env.MERVO_INI, ['get', file, key], { encoding: 'utf8' }).stdout.trim();

// Every file of the user's folders with its size and time, to see that nothing changed.
function files(dirs = [HOME, DATA, XDG_CONFIG_HOME, XDG_CACHE_HOME]) {
  const found = {};
  const walk = (dir) => {
    for (const e of fs.existsSync(dir) ? fs.readdirSync(dir, { withFileTypes: true }) : []) {
      const p = path.join(dir, e.name);
      if (e.isDirectory()) walk(p);
      else found[p] = `${fs.statSync(p).size}@${fs.statSync(p).mtimeMs}`;
    }
  };
  dirs.forEach(walk);
  return found;
}

const freePort = () => new Promise((resolve) => {
  const s = net.createServer().listen(0, '127.0.0.1', () => {
    const { port } = s.address();
    s.close(() => resolve(port));
  });
});

// Clients started from the installed program folder, by this test or by the installer.
const clientPids = () => fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).filter((p) => {
  try { return fs.readlinkSync(`/proc/${p}/exe`) === path.join(PROGRAM, 'MervoClient'); } catch { return false; }
}).map(Number);
const endClients = () => clientPids().forEach((pid) => process.kill(pid, 'SIGKILL'));

let service;
let serviceUrl;
before(async () => {
  const portFile = path.join(TMPDIR, 'demo-port');
  service = spawn(process.env.MERVO_DEMO_SERVICE, ['--port-file', portFile, '--state',
    path.join(TMPDIR, 'demo-state'), '--demo', process.env.MERVO_DEMO_DIR], { stdio: 'ignore' });
  await waitFor('the demo service', () => fs.existsSync(portFile) && fs.readFileSync(portFile, 'utf8'));
  serviceUrl = `http://127.0.0.1:${fs.readFileSync(portFile, 'utf8').trim()}`;
});
after(() => {
  endClients();
  service.kill();
});

// Whether a public key of the file checks the installer's signature, and its trusted comment.
const verified = (file, keys) => (fs.readFileSync(keys, 'utf8').match(/^RW[A-Za-z0-9+/]{54}$/gm) || [])
  .map((key) => run('minisign', ['-V', '-P', key, '-m', file])).find((r) => r.status === 0)?.out;
const listing = (dir) => (fs.existsSync(dir) ? fs.readdirSync(dir).sort() : []);

test('make package leaves the installer and its signature; a corrupt one or a "no" changes nothing', () => {
  const name = path.basename(installer);
  if (TRUST === 'none') {
    assert.deepEqual(listing(PACKAGES), [name, path.basename(DEB)].sort());
  } else {
    assert.deepEqual(listing(PACKAGES), [name, `${name}.minisig`, path.basename(DEB)].sort());
    assert.match(verified(installer, TRUST) ?? 'no trusted key checks it', new RegExp(`comment: file:${name} version:${VERSION} size:${fs.statSync(installer).size}\n`));
  }
  const before = files();

  const corrupt = path.join(TMPDIR, 'corrupt.run');
  const bytes = fs.readFileSync(installer);
  bytes[bytes.length - 1000] ^= 0x01;
  fs.writeFileSync(corrupt, bytes, { mode: 0o755 });
  const broken = run(corrupt, ['/SILENT']);
  assert.notEqual(broken.status, 0);
  assert.match(broken.out, /checksum/i);

  const declined = run(installer, [], { input: 'n\n' });
  assert.equal(declined.status, 1);
  assert.match(declined.out, new RegExp(`into ${PROGRAM}\\.`));

  assert.deepEqual(files(), before);
});

test('make package ships no installer the updater would refuse: no key, or an untrusted one', () => {
  const keys = path.join(TMPDIR, 'keys');
  fs.mkdirSync(keys);
  for (const k of ['release', 'other', 'previous'])
    runOk('minisign', ['-G', '-W', '-p', path.join(keys, `${k}.pub`), '-s', path.join(keys, `${k}.key`)]);
  // A key rotation: the updater trusts the previous and the release key.
  const trusted = path.join(keys, 'trusted.pub');
  fs.writeFileSync(trusted, ['previous', 'release'].map((k) => fs.readFileSync(path.join(keys, `${k}.pub`))).join(''));
  const out = path.join(TMPDIR, 'release-packages');
  const pack = (secretKey) => run(process.env.MERVO_MAKE_PACKAGE, ['--trust', trusted, process.env.MERVO_BUILD_DIR, out],
    { env: { MERVO_UPDATE_SECRET_KEY: secretKey } });

  const unsigned = pack('');
  assert.equal(unsigned.status, 1);
  assert.match(unsigned.out, /MERVO_UPDATE_SECRET_KEY=/);
  assert.deepEqual(listing(out), []);
  const untrusted = pack(path.join(keys, 'other.key'));
  assert.equal(untrusted.status, 1);
  assert.match(untrusted.out, /nothing was packaged/);
  assert.deepEqual(listing(out), []);

  const release = pack(path.join(keys, 'release.key'));
  assert.equal(release.status, 0, release.out);
  const name = path.basename(installer);
  assert.deepEqual(listing(out), [name, `${name}.minisig`]);
  assert.ok(verified(path.join(out, name), path.join(keys, 'release.pub')));
});

test('a silent install puts program, menu entry and icons in place; the client shows the login page', async () => {
  const r = run(installer, ['/SILENT']);
  assert.equal(r.status, 0, r.out);
  for (const f of ['MervoClient', 'MervoUpgrade', 'signin_pl.so', 'ledger_pl.so'])
    assert.ok(fs.existsSync(path.join(PROGRAM, f)), f);
  assert.equal(ini(path.join(PROGRAM, 'config.ini'), 'Version'), VERSION);
  assert.deepEqual(fs.readdirSync(DATA).filter((f) => f.startsWith('.')), []);
  assert.deepEqual(clientPids(), [], 'a fresh install starts no client');

  assert.equal(run('desktop-file-validate', [ENTRY]).status, 0);
  const entry = fs.readFileSync(ENTRY, 'utf8');
  assert.match(entry, /^Name=Mervo客户端$/m);
  assert.ok(entry.includes(`\nExec="${PROGRAM}/MervoClient"\n`), entry);
  const icon = entry.match(/^Icon=(.+)$/m)[1];
  for (const size of SIZES) {
    const png = fs.readFileSync(path.join(DATA, `icons/hicolor/${size}x${size}/apps/${icon}.png`));
    assert.equal(png.readUInt32BE(16), size);
  }

  runOk(path.join(process.env.MERVO_DEMO_DIR, 'write-config.sh'), [path.join(PROGRAM, 'config.ini'), serviceUrl]);
  const port = await freePort();
  const child = spawn(path.join(PROGRAM, 'MervoClient'), [], {
    cwd: HOME, stdio: 'ignore', env: { ...process.env, QTWEBENGINE_REMOTE_DEBUGGING: String(port) } });
  try {
    const login = await page({ port }, /\/login\/index\.html/);
    await login.ready('#login');
    await login.close();
    // The running client would lose what it writes to config.ini during an upgrade.
    const inode = fs.statSync(path.join(PROGRAM, 'MervoClient')).ino;
    const busy = run(installer, [], { input: 'y\n' });
    assert.equal(busy.status, 1);
    assert.match(busy.out, /Mervo is running from .*Nothing was changed\./s);
    assert.equal(fs.statSync(path.join(PROGRAM, 'MervoClient')).ino, inode);
    assert.deepEqual(fs.readdirSync(DATA).filter((f) => f.startsWith('.')), []);
    // The menu entry groups the client's windows under it.
    const wmClass = entry.match(/^StartupWMClass=(.+)$/m)[1];
    assert.equal(run('xdotool', ['search', '--all', '--pid', String(child.pid), '--class', `^${wmClass}$`]).status, 0);
  } finally {
    child.kill('SIGKILL');
  }
});

test('a second installer waits for the first; one whole installation is left', async () => {
  await waitFor('the first client to end', () => clientPids().length === 0);
  // The first one holds its staging until the second has said it waits, however slow the
  // machine is; the hold is bounded so that a failure cannot hang the test.
  const slow = path.join(TMPDIR, 'slowcp');
  const release = path.join(TMPDIR, 'release');
  fs.mkdirSync(slow);
  fs.writeFileSync(path.join(slow, 'cp'), `#!/bin/sh
case "$2" in */.Mervo.new.*/MervoClient)
  i=0; while [ ! -e '${release}' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done ;;
esac
exec /bin/cp "$@"
`, { mode: 0o755 });
  const start = (env = {}) => {
    const child = spawn(installer, ['/SILENT'], { cwd: HOME, env: { ...process.env, ...env } });
    const run = { out: '' };
    child.stdout.on('data', (d) => { run.out += d; });
    child.stderr.on('data', (d) => { run.out += d; });
    run.done = new Promise((resolve) => child.on('close', (status) => resolve({ status, out: run.out })));
    return run;
  };
  const first = start({ PATH: `${slow}:${process.env.PATH}` });
  await waitFor('the first installer to stage', () => fs.readdirSync(DATA).some((f) => f.startsWith('.Mervo.new.')));
  const second = start();
  await waitFor('the second installer to wait', () => /Waiting for another installer/.test(second.out), 60000)
    .finally(() => fs.writeFileSync(release, ''));
  const [one, two] = await Promise.all([first.done, second.done]);
  assert.equal(one.status, 0, one.out);
  assert.equal(two.status, 0, two.out);
  assert.match(two.out, /Waiting for another installer/);
  for (const f of ['MervoClient', 'MervoUpgrade', 'signin_pl.so', 'ledger_pl.so', 'config.ini'])
    assert.ok(fs.existsSync(path.join(PROGRAM, f)), f);
  assert.equal(ini(path.join(PROGRAM, 'config.ini'), 'Version'), VERSION);
  assert.deepEqual(fs.readdirSync(DATA).filter((f) => f.startsWith('.')), []);
});

test('an upgrade in place keeps the user\'s keys and files, drops old program files, starts the client; a refused one starts the old client', async () => {
  await waitFor('the first client to end', () => clientPids().length === 0);
  const config = path.join(PROGRAM, 'config.ini');
  // The installation keys the package carries win; the demo's stay where it carries none.
  const carried = run(installer, ['--tar', 'xOf', './program/config.ini']).out;
  const loginUrl = ini(config, 'LoginUrl');
  const demoLogin = !/^LoginUrl=/m.test(carried);
  // Feed is read as a list by Qt, which writes it back as "http://svc/api?a=1", "b=2".
  const user = 'CloseAction=min\nMultiClient=1\nPID=0F8BFBFF000906EA\nHID=S3YJNX0K\nZoom=1.25\nCustom="a, b; c"\n'
    + 'Feed=http://svc/api?a=1,b=2\n';
  const rest = fs.readFileSync(config, 'utf8').split('\n')
    .filter((l) => !/^(Version|CloseAction|MultiClient|PID|HID|Zoom|Custom|Feed)=/.test(l)).join('\n');
  fs.writeFileSync(config, rest.replace('[Sys]\n', `[Sys]\nVersion=1.0.0.5\n${user}`));
  fs.writeFileSync(path.join(PROGRAM, 'notes.txt'), 'mine');
  fs.writeFileSync(path.join(PROGRAM, 'retired_pl.so'), '');
  fs.appendFileSync(path.join(PROGRAM, '.mervo-files'), 'retired_pl.so\n');

  const before = files([PROGRAM]);

  // The updater has ended the client: a refused upgrade starts the old one again.
  // Here dpkg knows every package but the Qt WebEngine core library (of the Qt built with).
  const major = process.env.MERVO_QT_MAJOR || '5';
  const webEngineCore = `libqt${major}webenginecore${major}`;
  const fake = path.join(TMPDIR, 'fakebin');
  fs.mkdirSync(fake);
  fs.writeFileSync(path.join(fake, 'dpkg-query'),
    `#!/bin/sh\nfor a; do [ "$a" = ${webEngineCore} ] && exit 1; done\nexec /usr/bin/dpkg-query "$@"\n`,
    { mode: 0o755 });
  let port = await freePort();
  const refused = run(installer, ['/SILENT'], { cwd: PROGRAM,
    env: { PATH: `${fake}:${process.env.PATH}`, QTWEBENGINE_REMOTE_DEBUGGING: String(port) } });
  assert.equal(refused.status, 1);
  assert.match(refused.out, new RegExp(`apt install ${webEngineCore}\n`));
  assert.deepEqual(files([PROGRAM]), before);
  await (await page({ port }, /./)).close();
  endClients();
  await waitFor('the old client to end', () => clientPids().length === 0);

  port = await freePort();
  const r = run(installer, ['/SILENT'], { cwd: PROGRAM, env: { QTWEBENGINE_REMOTE_DEBUGGING: String(port) } });
  assert.equal(r.status, 0, r.out);
  assert.equal(ini(config, 'Version'), VERSION);
  const kept = { CloseAction: 'min', MultiClient: '1', PID: '0F8BFBFF000906EA', HID: 'S3YJNX0K',
    Zoom: '1.25', Custom: 'a, b; c', Feed: 'http://svc/api?a=1,b=2', ...(demoLogin && { LoginUrl: loginUrl }) };
  for (const [key, value] of Object.entries(kept)) assert.equal(ini(config, key), value, key);
  assert.equal(fs.readFileSync(path.join(PROGRAM, 'notes.txt'), 'utf8'), 'mine');
  assert.ok(!fs.existsSync(path.join(PROGRAM, 'retired_pl.so')));
  assert.deepEqual(fs.readdirSync(DATA).filter((f) => f.startsWith('.')), []);

  const shown = await page({ port }, demoLogin ? /\/login\/index\.html/ : /./, 60000);
  if (demoLogin) await shown.ready('#login');
  await shown.close();
  endClients();
});

test('uninstalling, even after a cut-short swap, leaves nothing of the product but the login record', async () => {
  await waitFor('the clients to end', () => clientPids().length === 0);
  fs.writeFileSync(RECORD, '{"companyName": "Acme"}', { mode: 0o600 });
  // As the tray's "开机自动启动" leaves it.
  fs.mkdirSync(path.join(XDG_CONFIG_HOME, 'autostart'), { recursive: true });
  fs.writeFileSync(path.join(XDG_CONFIG_HOME, 'autostart', 'mervo-client.desktop'), '[Desktop Entry]\n');
  fs.rmSync(path.join(PROGRAM, 'notes.txt'));
  // As if a swap had been cut short: the installation aside, a half-staged copy.
  fs.mkdirSync(path.join(DATA, '.Mervo.old.cut'));
  fs.renameSync(PROGRAM, path.join(DATA, '.Mervo.old.cut', 'Mervo'));
  fs.mkdirSync(path.join(DATA, '.Mervo.new.cut'));
  const r = run(installer, ['/UNINSTALL', '/SILENT']);
  assert.equal(r.status, 0, r.out);
  // Mesa's and Qt's shader caches are shared by every GL program of the user.
  const left = Object.keys(files()).filter((f) => !/\/(mesa_shader_cache|qtshadercache-[^/]*)\//.test(f));
  assert.deepEqual(left, [RECORD]);
  assert.deepEqual(fs.readdirSync(DATA).filter((f) => f.startsWith('.')), []);
  assert.equal(fs.readFileSync(RECORD, 'utf8'), '{"companyName": "Acme"}');
});

// The system-wide package on this machine, as an administrator installs it and two users
// share the computer. Root only: it installs into /usr and /etc, and purges afterwards.
test('the Debian package: lintian-clean; installed with apt; two users at once, each sandboxed with their own settings; managed keys win (autostart for everyone); no installer fetched; purge leaves nothing', { skip: process.getuid() !== 0 && 'installing a Debian package needs root' }, async () => {
  const lint = run('lintian', ['--fail-on', 'error,warning', DEB]);
  assert.equal(lint.status, 0, lint.out);
  runOk('apt-get', ['install', '-y', '-q', '--no-install-recommends', DEB]);
  const etc = '/etc/mervo-client/config.ini';
  const users = [makeUser(), makeUser()];
  const clients = [];
  try {
    // The administrator names the service for everyone and fixes the zoom.
    execFileSync(path.join(process.env.MERVO_DEMO_DIR, 'write-config.sh'), [etc, serviceUrl]);
    fs.writeFileSync('/etc/mervo-client/managed.ini', '[Sys]\nZoom=1.25\nAutostart=1\n');
    runOk('dpkg-reconfigure', ['-fnoninteractive', 'mervo-client']);
    assert.match(fs.readFileSync('/etc/xdg/autostart/mervo-client.desktop', 'utf8'), /^Exec=mervo-client$/m);
    const written = fs.readFileSync(etc);
    const ownFile = (user) => path.join(user.env.XDG_CONFIG_HOME, 'Mervo', 'config.ini');
    const start = async (user) => {
      const port = await freePort();
      const child = spawn('setpriv', ['--reuid', String(user.uid), '--regid', String(user.gid), '--init-groups',
        '/usr/bin/mervo-client'], { cwd: user.home, stdio: 'ignore',
        env: { ...user.env, QTWEBENGINE_REMOTE_DEBUGGING: String(port) } });
      const client = { child, port, user };
      clients.push(client);
      return client;
    };
    for (const user of users) {
      // The user's own choice, which the managed key overrides.
      fs.mkdirSync(path.dirname(ownFile(user)), { recursive: true });
      fs.writeFileSync(ownFile(user), '[Sys]\nZoom=2\n');
      execFileSync('chown', ['-R', `${user.uid}:${user.gid}`, user.env.XDG_CONFIG_HOME]);
    }
    const updateLog = path.join(TMPDIR, 'demo-state', 'update-requests.log');
    const updateAsks = () => (fs.existsSync(updateLog) ? fs.readFileSync(updateLog, 'utf8').split('\n').filter(Boolean).length : 0);
    const asksBefore = updateAsks();
    const running = await Promise.all(users.map(start));
    for (const client of running) {
      const p = await page(client, /\/login\/index\.html/, 60000);
      await p.ready('#login');
      assert.equal(await p.eval('window.devicePixelRatio'), 1.25);
      await p.close();
      const renderers = rendererPids(client.user.uid);
      assert.ok(renderers.length > 0);
      for (const pid of renderers)
        assert.match(fs.readFileSync(`/proc/${pid}/status`, 'utf8'), /^Seccomp:\s+2$/m);
      await waitFor('the device identifiers in the user\'s own file', () =>
        /^HID=.+$/m.test(fs.readFileSync(ownFile(client.user), 'utf8')));
    }
    // A restart keeps what the first start stored; the administrator's file stays as written.
    const stored = fs.readFileSync(ownFile(users[0]), 'utf8');
    running[0].child.kill('SIGKILL');
    await new Promise((resolve) => running[0].child.on('exit', resolve));
    const again = await start(users[0]);
    await (await page(again, /\/login\/index\.html/, 60000)).ready('#login');
    assert.equal(fs.readFileSync(ownFile(users[0]), 'utf8'), stored);
    assert.match(stored, /^PID=.+$/m);
    assert.deepEqual(fs.readFileSync(etc), written);
    // The package manager updates this client: its updater asked the service nothing.
    assert.equal(updateAsks(), asksBefore);
  } finally {
    for (const c of clients) c.child.kill('SIGKILL');
    users.forEach(removeUser);
    runOk('apt-get', ['purge', '-y', '-q', 'mervo-client']);
  }
  for (const gone of ['/usr/lib/mervo-client', '/usr/bin/mervo-client', '/etc/mervo-client',
    '/etc/xdg/autostart/mervo-client.desktop'])
    assert.ok(!fs.existsSync(gone), `${gone} is left`);
});
