// Run by transition.sh: times the module switches and the second start as a person meets
// them, through the pages (DevTools protocol) and the X server.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Road, page, sleep, waitFor } from '../tests/e2e/harness.mjs';

const rounds = Number(process.env.ROUNDS || 7);
const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const monotonicMs = () => Number(process.hrtime.bigint() / 1000000n);
const xwin = (...args) => {
  try { execFileSync(process.env.MERVO_XWIN, args.map(String)); return true; } catch { return false; }
};

// Once the page has loaded: when (epoch ms) and how long its own load took in its renderer.
async function loadTiming(p) {
  return waitFor(`the load of ${p.target.url}`, () => p.eval(`(() => {
    const t = performance.timing;
    return t.loadEventEnd > 0 && { end: t.loadEventEnd, own: t.loadEventEnd - t.navigationStart };
  })()`));
}

// Clicks selector and returns when (epoch ms) the page received the click: the event's own
// time, reported through a DevTools binding before the page's handlers run. A page that goes
// with its module at once (the log-out) may go before its report gets out: then the moment
// the button was released, a millisecond or so before the page sees the click.
const unreported = {};
async function clickAt(p, selector) {
  await p.ready(selector);
  await p.cdp.Runtime.enable();
  await p.cdp.Runtime.addBinding({ name: 'benchClickAt' });
  const clicked = new Promise((resolve) => p.cdp.Runtime.bindingCalled(({ name, payload }) => {
    if (name === 'benchClickAt') resolve(Number(payload));
  }));
  const { x, y } = await p.eval(`(() => {
    document.addEventListener('click', (e) =>
      benchClickAt(String(performance.timeOrigin + e.timeStamp)), { capture: true, once: true });
    const e = document.querySelector(${JSON.stringify(selector)});
    e.scrollIntoView({ block: 'center' });
    const r = e.getBoundingClientRect();
    return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()`);
  const mouse = (type) => p.cdp.Input.dispatchMouseEvent({ type, x, y, button: 'left', clickCount: 1 });
  await mouse('mousePressed');
  const released = Date.now();
  // The page goes with the module: the connection may close before the protocol answers.
  await mouse('mouseReleased').catch((e) => { if (!/closed/i.test(String(e.message))) throw e; });
  const t0 = await Promise.race([clicked, sleep(500).then(() => null)]);
  await p.close();
  if (t0 === null) unreported[selector] = (unreported[selector] || 0) + 1;
  return Math.round(t0 ?? released);
}

// Nothing is asked of the client while it switches: the pages are looked for once the
// switch is over, and their load read from their own timing.
const settle = () => sleep(1500);

async function loginToWorkspace(client) {
  const login = await page(client, /\/login\/index\.html/);
  await loadTiming(login);
  await login.type('#password', 'demo');
  const t0 = await clickAt(login, '#login');
  await settle();
  const work = await page(client, /\/workspace\/main\.html/);
  const { end, own } = await loadTiming(work);
  await work.ready('#who');
  await work.close();
  return { total: end - t0, own };
}

async function logOutToLogin(client) {
  const work = await page(client, /\/workspace\/main\.html/);
  const t0 = await clickAt(work, '#logout');
  await settle();
  const login = await page(client, /\/login\/index\.html/);
  const { end, own } = await loadTiming(login);
  await login.close();
  return { total: end - t0, own };
}

// The first client's window hidden to the tray (workspace shown), a second start: until the
// window is mapped again.
async function secondStart(road, first) {
  // The main window carries the product's name by now; the tray icon's window is named
  // after the program.
  const titles = execFileSync('bash', ['-c', `for w in $(xdotool search --onlyvisible --pid ${
    first.child.pid}); do xdotool getwindowname $w; done`]).toString().split('\n');
  const title = titles.find((t) => t && t !== 'MervoClient');
  if (!title || !xwin('close', first.child.pid, title)) throw new Error('no window to hide');
  await waitFor('the window to hide', () => !xwin('viewable', first.child.pid, title));
  await sleep(500);
  const watch = spawn(process.env.MERVO_MAPWATCH, [String(first.child.pid)]);
  let shownAt = '';
  watch.stdout.on('data', (d) => { shownAt += d; });
  const watched = new Promise((resolve) => watch.on('close', resolve));
  await sleep(100); // the watch listens before the second process starts
  const t0 = monotonicMs();
  const log = fs.openSync(path.join(road.root, 'second.log'), 'a');
  const second = spawn(path.join(road.bin, 'MervoClient'), [], { cwd: road.root, stdio: ['ignore', log, log] });
  const ended = new Promise((resolve) => second.on('exit', resolve));
  await watched;
  await ended;
  if (!shownAt.trim()) throw new Error('the window was not shown again');
  return Number(shownAt.trim()) - t0;
}

const road = new Road();
await road.setUp();
let failed = true;
try {
  const ini = path.join(road.bin, 'config.ini');
  fs.writeFileSync(ini, fs.readFileSync(ini, 'utf8').replace('[Sys]\n', '[Sys]\nCloseAction=min\n'));
  const client = await road.startClient();
  const rows = { login: [], logout: [], second: [] };
  for (let r = 0; r <= rounds; ++r) {
    const a = await loginToWorkspace(client);
    // Closing the window hides it only while the workspace is shown (the login view quits).
    const c = await secondStart(road, client);
    const b = await logOutToLogin(client);
    if (r === 0) continue; // warm-up: first loads fill the caches
    rows.login.push(a);
    rows.logout.push(b);
    rows.second.push(c);
  }
  const load = fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
  console.log(`Module switches and the second start against the demo service: medians of ${rounds} rounds`);
  console.log(`after one warm-up round (${execFileSync('nproc').toString().trim()} cores, load average ${load}, ${new Date().toISOString().slice(0, 10)})\n`);
  console.log('| moment | client | floor | client - floor | target |');
  console.log('|---|---|---|---|---|');
  for (const [name, key] of [['login click → workspace loaded', 'login'], ['log-out click → login page loaded', 'logout']]) {
    const total = median(rows[key].map((x) => x.total));
    const own = median(rows[key].map((x) => x.own));
    console.log(`| ${name} | ${total} ms | ${own} ms (the page's own load) | ${total - own} ms | ≤ floor + 260 ms (200 ms waiting page + 60 ms) |`);
  }
  console.log(`| second start → first window shown | ${median(rows.second)} ms | 0 ms (the second process starts) | ${median(rows.second)} ms | ≤ 150 ms |`);
  for (const [selector, n] of Object.entries(unreported))
    console.log(`\n${selector}: in ${n} of ${rounds + 1} clicks the page went before it reported the click; timed from the button's release`);
  failed = false;
} finally {
  await road.tearDown(failed);
}
