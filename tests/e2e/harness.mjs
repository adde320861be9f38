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
  async setUp({ updateJson, clientName = 'MervoClient', host = '127.0.0.1', startService = true } = {}) {
    this.clientName = clientName;
    this.root = fs.mkdtempSync(path.join(os.tmpdir(), 'mervo-e2e-'));
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

  // env: more environment for the client (a proxy, for example).
  async startClient({ env = {} } = {}) {
    const port = await freePort();
    const log = fs.openSync(path.join(this.root, 'client.log'), 'a');
    const child = spawn(path.join(this.bin, this.clientName), [], {
      cwd: this.root,
      stdio: ['ignore', log, log],
      env: { ...process.env, ...env, QTWEBENGINE_REMOTE_DEBUGGING: String(port) },
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
