// A large download three ways, DOWNLOADS times each (default 3) taking turns, into one
// folder: through the client's workspace (save dialog answered with xdotool), through a
// bare QWebEngineView program accepting the same download (held as long as the client's
// dialog was open), and with curl -o. Prints throughput from the acceptance to the
// complete file and the growth of the main process's RSS during the download. Run by
// download.sh.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Road, page, waitFor, sleep } from '../tests/e2e/harness.mjs';
import { rssKiB } from './memory.mjs';

const mib = Number(process.env.SIZE_MIB || 1024);
const runs = Number(process.env.DOWNLOADS || 3);
const bytes = mib * 1048576;
const median = (list) => {
  const s = [...list].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

// Polls every 20 ms until FILE has all its bytes; the peak RSS of PID meanwhile.
async function complete(file, pid, startedAt) {
  let peak = 0;
  for (;;) {
    try { peak = Math.max(peak, rssKiB(pid)); } catch { /* ended */ }
    try { if (fs.statSync(file).size === bytes) return { ms: Date.now() - startedAt, peak }; } catch { /* not yet */ }
    if (Date.now() - startedAt > 600000) throw new Error(`${file} did not complete`);
    await sleep(20);
  }
}

function lines(stream, onLine) {
  let rest = '';
  stream.on('data', (chunk) => {
    rest += chunk;
    const parts = rest.split('\n');
    rest = parts.pop();
    parts.forEach(onLine);
  });
}

const road = new Road();
await road.setUp();
try {
  const client = await road.startClient();
  const login = await page(client, /\/login\/index\.html/);
  await login.type('#password', 'demo');
  await login.clickAway('#login');
  const work = await page(client, /\/workspace\/main\.html/);
  await work.ready('#who');
  await sleep(2000);
  const url = `${road.url}/files/large.bin?mb=${mib}`;
  const results = { client: [], floor: [], curl: [] };
  const dialogs = [];

  for (let run = 1; run <= runs; ++run) {
    // The client: the workspace page's link, the save dialog, the panel.
    execFileSync('sync');
    let target = path.join(road.root, `client-${run}.bin`);
    let before = rssKiB(client.child.pid);
    const clicked = Date.now();
    await work.eval(`(() => { const a = document.createElement('a'); a.href = '/files/large.bin?mb=${mib}';
      document.body.appendChild(a); a.click(); a.remove(); })()`);
    const dialog = await waitFor('the save dialog', () => {
      try { return execFileSync('xdotool', ['search', '--onlyvisible', '--name', '保存文件']).toString().trim().split('\n')[0]; }
      catch { return ''; }
    });
    execFileSync('xdotool', ['windowfocus', '--sync', dialog]);
    execFileSync('xdotool', ['key', 'ctrl+a']);
    execFileSync('xdotool', ['type', '--delay', '1', target]);
    const accepted = Date.now();
    dialogs.push(accepted - clicked);
    execFileSync('xdotool', ['key', 'Return']);
    let done = await complete(target, client.child.pid, accepted);
    results.client.push({ ms: done.ms, growth: done.peak - before });
    fs.rmSync(target);
    await sleep(1000);

    // The floor: settled on a page of its own, then the same download.
    execFileSync('sync');
    target = path.join(road.root, `floor-${run}.bin`);
    const floor = spawn(path.join(process.env.MERVO_BENCH_DIR, 'bench-downloadfloor'),
      [url, target, String(median(dialogs))], { stdio: ['pipe', 'ignore', 'pipe'] });
    let floorAccepted = 0;
    let ready = false;
    lines(floor.stderr, (line) => {
      if (line.startsWith('ready')) ready = true;
      if (line.startsWith('accepted')) floorAccepted = Date.now();
    });
    await waitFor('the floor program', () => ready);
    await sleep(2000);
    before = rssKiB(floor.pid);
    floor.stdin.write('go\n');
    await waitFor('the floor to accept', () => floorAccepted, 60000);
    done = await complete(target, floor.pid, floorAccepted);
    results.floor.push({ ms: done.ms, growth: done.peak - before });
    await new Promise((r) => (floor.exitCode !== null ? r() : floor.on('exit', r)));
    fs.rmSync(target);

    // curl, from its start to its end.
    execFileSync('sync');
    target = path.join(road.root, `curl-${run}.bin`);
    const started = Date.now();
    const curl = spawn('curl', ['-s', '-o', target, url], { stdio: 'ignore' });
    let curlFirst = 0;
    let curlPeak = 0;
    while (curl.exitCode === null) {
      try {
        const now = rssKiB(curl.pid);
        curlFirst ||= now;
        curlPeak = Math.max(curlPeak, now);
      } catch { /* ended */ }
      await sleep(20);
    }
    results.curl.push({ ms: Date.now() - started, growth: curlPeak - curlFirst });
    if (fs.statSync(target).size !== bytes) throw new Error('curl saved a short file');
    fs.rmSync(target);
  }

  const load = fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
  const rate = (ms) => mib / (ms / 1000);
  const row = (name, list) => {
    const ms = Math.round(median(list.map((r) => r.ms)));
    const growth = Math.max(...list.map((r) => r.growth)) / 1024;
    console.log(`| ${name} | ${ms} ms | ${rate(ms).toFixed(0)} MiB/s | ${growth.toFixed(0)} MiB |`);
    return rate(ms);
  };
  console.log(`Download of ${mib} MiB from 127.0.0.1 into one folder, median of ${runs} runs each taking turns`);
  console.log(`(${(await import('node:os')).cpus().length} cores, load average ${load}, ${new Date().toISOString().slice(0, 10)})\n`);
  console.log('| program | time from acceptance to the complete file | throughput | RSS growth of the main process (highest) |');
  console.log('|---|---|---|---|');
  const c = row('MervoClient workspace (save dialog answered)', results.client);
  const f = row(`bare QWebEngineView (floor), accepting after ${median(dialogs)} ms as the dialog did`, results.floor);
  const u = row('curl -o', results.curl);
  console.log(`| ratio MervoClient / floor | | ${(c / f).toFixed(2)} (target ≥ 0.95) | |`);
  console.log(`| ratio MervoClient / curl | | ${(c / u).toFixed(2)} | |`);
} finally {
  await road.tearDown(false);
}
