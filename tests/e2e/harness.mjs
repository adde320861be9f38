// Drives the real MervoClient against the demo service, as a person would: clicks
// and typing through the DevTools protocol, native windows through the X server.
import CDP from 'chrome-remote-interface';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const BIN = process.env.MERVO_BIN_DIR;
const SERVICE = process.env.MERVO_DEMO_SERVICE;
const DEMO_DIR = process.env.MERVO_DEMO_DIR;

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

export async function waitFor(what, fn, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  let last;
  while (Date.now() < end) {
    try {
      last = await fn();
      if (last) return last;
    } catch (e) { last = e; }
    await sleep(100);
  }
  throw new Error(`timed out waiting for ${what} (last: ${last})`);
}

export function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// One demo service and one program folder; several client starts may share them.
export class Road {
  // clientName: the file name the client runs under. The updater ends the client by
  // that name, so a test that updates uses a name of its own: a second link to the
  // folder's MervoClient, which marks the folder as an installation to upgrade.
  // host: the service's host name in its addresses; startService false: the service is
  // down until startService().
  // user: a throw-away user (makeUser) who owns the program folder and runs the clients.
  async setUp({ updateJson, clientName = 'MervoClient', host = '127.0.0.1', startService = true, user } = {}) {
    this.clientName = clientName;
    this.user = user;
    this.root = fs.mkdtempSync(path.join(user ? user.home : os.tmpdir(), 'mervo-e2e-'));
    this.demo = path.join(this.root, 'demo');
    fs.cpSync(DEMO_DIR, this.demo, { recursive: true });
    if (updateJson) fs.writeFileSync(path.join(this.demo, 'update.json'), JSON.stringify(updateJson));
    this.state = path.join(this.root, 'state');
    this.bin = path.join(this.root, 'bin');
    fs.mkdirSync(this.bin);
    for (const f of ['MervoClient', 'MervoUpgrade', 'signin_pl.so', 'ledger_pl.so'])
      fs.copyFileSync(path.join(BIN, f), path.join(this.bin, f));
    fs.chmodSync(path.join(this.bin, 'MervoClient'), 0o755);
    fs.chmodSync(path.join(this.bin, 'MervoUpgrade'), 0o755);
    if (clientName !== 'MervoClient') fs.linkSync(path.join(this.bin, 'MervoClient'), path.join(this.bin, clientName));

    this.host = host;
    // A service that starts later needs its port now; otherwise it picks a free one.
    this.port = startService ? 0 : await freePort();
    if (startService) await this.startService();
    this.url = `http://${host}:${this.port}`;
    execFileSync(path.join(DEMO_DIR, 'write-config.sh'),
                 [path.join(this.bin, 'config.ini'), this.url, process.env.MERVO_VERSION ?? '']);
    if (user) execFileSync('chown', ['-R', `${user.uid}:${user.gid}`, this.root]);
    this.clients = [];
  }

  async startService() {
    const portFile = path.join(this.root, 'port');
    this.service = spawn(SERVICE, ['--port', String(this.port), '--port-file', portFile, '--host', this.host,
                                   '--state', this.state, '--demo', this.demo], { stdio: 'ignore' });
    await waitFor('the demo service', () => fs.existsSync(portFile) && fs.readFileSync(portFile, 'utf8'));
    this.port = Number(fs.readFileSync(portFile, 'utf8').trim());
  }

  config() {
    const file = path.join(this.bin, 'config.ini');
    return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : '';
  }

  // env: more environment for the client (a proxy, for example). wrap: a command line
  // that runs the client, which it gets as its last argument. The road's user runs it
  // with an environment of their own and the engine's sandbox on.
  async startClient({ env = {}, wrap = [] } = {}) {
    const port = await freePort();
    const log = fs.openSync(path.join(this.root, 'client.log'), 'a');
    const program = path.join(this.bin, this.clientName);
    const { user } = this;
    const base = user ? user.env : process.env;
    const command = user
      ? ['setpriv', '--reuid', String(user.uid), '--regid', String(user.gid), '--init-groups', ...wrap, program]
      : [...wrap, program];
    const child = spawn(command[0], command.slice(1), {
      cwd: this.root,
      stdio: ['ignore', log, log],
      env: { ...base, ...env, QTWEBENGINE_REMOTE_DEBUGGING: String(port) },
    });
    const client = { child, port, exited: null };
    child.on('exit', (code, signal) => { client.exited = { code, signal }; });
    this.clients.push(client);
    return client;
  }

  log() {
    const file = path.join(this.root, 'client.log');
    return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : '';
  }

  // Processes running a program of the folder, those the installer started among them.
  programPids(name) {
    return fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).filter((p) => {
      try {
        const exe = fs.readlinkSync(`/proc/${p}/exe`);
        return name ? exe === path.join(this.bin, name) : exe.startsWith(`${this.bin}/`);
      } catch { return false; }
    }).map(Number);
  }

  async tearDown(failed) {
    if (failed) console.log(`--- client log ---\n${this.log()}`);
    for (const c of this.clients) if (!c.exited) c.child.kill('SIGKILL');
    for (const pid of this.programPids()) try { process.kill(pid, 'SIGKILL'); } catch {}
    this.service?.kill();
    // Until they are gone, so that the next road starts among none of this road's
    // processes (a dying client still holds its single-instance name for a moment).
    await waitFor('the killed clients to end', () => this.programPids().length === 0, 10000);
    await sleep(200);
  }
}

// A throw-away ordinary user with a home of their own, for roads that need one: the
// engine runs its sandbox only for an ordinary user. Root only; removeUser() after.
export function makeUser() {
  const name = `mervo${process.pid % 100000}${Math.floor(Math.random() * 1000)}`;
  execFileSync('useradd', ['--create-home', '--shell', '/bin/sh', '--user-group', name]);
  const uid = Number(execFileSync('id', ['-u', name]).toString());
  const gid = Number(execFileSync('id', ['-g', name]).toString());
  const home = `/home/${name}`;
  const dirs = {};
  for (const d of ['runtime', 'tmp', 'data', 'config', 'cache', 'bin']) {
    dirs[d] = path.join(home, d);
    fs.mkdirSync(dirs[d], { mode: 0o700 });
  }
  // Whatever the client hands to the desktop is written down instead.
  const opened = path.join(home, 'opened.txt');
  fs.writeFileSync(path.join(dirs.bin, 'xdg-open'), `#!/bin/sh
printf '%s\n' "$1" >> '${opened}'
`, { mode: 0o755 });
  execFileSync('chown', ['-R', `${uid}:${gid}`, home]);
  const env = {
    PATH: `${dirs.bin}:${process.env.PATH}`, HOME: home, USER: name, LOGNAME: name,
    DISPLAY: process.env.DISPLAY, LC_ALL: process.env.LC_ALL ?? 'C.UTF-8',
    XDG_RUNTIME_DIR: dirs.runtime, TMPDIR: dirs.tmp, XDG_DATA_HOME: dirs.data,
    XDG_CONFIG_HOME: dirs.config, XDG_CACHE_HOME: dirs.cache,
    QTWEBENGINE_CHROMIUM_FLAGS: process.env.QTWEBENGINE_CHROMIUM_FLAGS ?? '',
  };
  return { name, uid, gid, home, env, opened };
}

export function removeUser(user) {
  try { execFileSync('pkill', ['-KILL', '-u', user.name]); } catch {}
  try { execFileSync('userdel', ['--remove', user.name], { stdio: 'ignore' }); } catch {}
  fs.rmSync(user.home, { recursive: true, force: true });
}

// The renderer processes of a user's clients: the engine's processes with a compositor
// thread (renderers keep --type=zygote on their command line, so that tells nothing).
export function rendererPids(uid) {
  return fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).filter((p) => {
    try {
      if (!fs.readlinkSync(`/proc/${p}/exe`).endsWith('/QtWebEngineProcess')) return false;
      if (!new RegExp(`^Uid:\\s+${uid}\\s`, 'm').test(fs.readFileSync(`/proc/${p}/status`, 'utf8'))) return false;
      return fs.readdirSync(`/proc/${p}/task`).some((t) =>
        fs.readFileSync(`/proc/${p}/task/${t}/comm`, 'utf8').trim() === 'Compositor');
    } catch { return false; }
  }).map(Number);
}

async function targets(port) {
  const res = await fetch(`http://127.0.0.1:${port}/json`);
  return res.json();
}

// A page of the client whose address matches, opened for driving.
export async function page(client, match, timeoutMs = 30000) {
  const target = await waitFor(`a page matching ${match}`, async () =>
    (await targets(client.port)).find((t) => t.type === 'page' && match.test(t.url)), timeoutMs);
  const cdp = await CDP({ host: '127.0.0.1', port: client.port, target: target.id });
  return new Page(cdp, target);
}

export class Page {
  constructor(cdp, target) { this.cdp = cdp; this.target = target; }

  async eval(expression) {
    const { result, exceptionDetails } = await this.cdp.Runtime.evaluate({
      expression, awaitPromise: true, returnByValue: true });
    if (exceptionDetails) throw new Error(exceptionDetails.text);
    return result.value;
  }

  async ready(selector) {
    return waitFor(`${selector} on ${this.target.url}`, () =>
      this.eval(`document.readyState === 'complete' && !!document.querySelector(${JSON.stringify(selector)})`));
  }

  async click(selector) {
    await this.ready(selector);
    const box = await this.eval(`(() => { const e = document.querySelector(${JSON.stringify(selector)});
      e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();
      return {x: r.x + r.width / 2, y: r.y + r.height / 2}; })()`);
    for (const type of ['mousePressed', 'mouseReleased'])
      await this.cdp.Input.dispatchMouseEvent({ type, x: box.x, y: box.y, button: 'left', clickCount: 1 });
  }

  // A click after which the page goes away (the client switches modules): the
  // connection may close before the protocol answers.
  async clickAway(selector) {
    try {
      await this.click(selector);
    } catch (e) {
      if (!/closed/i.test(String(e.message))) throw e;
    }
    await this.close();
  }

  async type(selector, text) {
    await this.click(selector);
    await this.eval(`document.querySelector(${JSON.stringify(selector)}).select()`);
    await this.cdp.Input.insertText({ text });
  }

  async text(selector) {
    return this.eval(`(document.querySelector(${JSON.stringify(selector)}) || {}).textContent`);
  }

  async close() { await this.cdp.close().catch(() => {}); }
}

// Runs fn(road) on a fresh demo service and program folder; the client log is
// printed when fn fails, and every process is ended afterwards.
export async function withRoad(options, fn) {
  const road = new Road();
  await road.setUp(options);
  let failed = true;
  try {
    await fn(road);
    failed = false;
  } finally {
    await road.tearDown(failed);
  }
}
