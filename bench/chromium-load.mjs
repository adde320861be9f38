// Headless Chromium loading URL, for startup.sh: prints "loaded_ms pss_kib hwm_kib", the
// time from its start to the page's load event, then SETTLE seconds later the PSS of
// its whole process tree and its main process's peak RSS.
// Usage: node chromium-load.mjs URL PROFILE_DIR
import CDP from 'chrome-remote-interface';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { treePssKiB } from './memory.mjs';

const [url, profile] = process.argv.slice(2);
const settleMs = Number(process.env.SETTLE || 3) * 1000;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const elapsedMs = (t0) => Number(process.hrtime.bigint() - t0) / 1e6;

fs.rmSync(path.join(profile, 'DevToolsActivePort'), { force: true });
const t0 = process.hrtime.bigint();
const chromium = spawn('chromium', ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', `--user-data-dir=${profile}`,
  '--remote-debugging-port=0', url], { stdio: 'ignore' });
let cdp;
try {
  let port;
  while (!port) {
    if (elapsedMs(t0) > 30000) throw new Error('chromium did not open its debugging port');
    try { port = Number(fs.readFileSync(path.join(profile, 'DevToolsActivePort'), 'utf8').split('\n')[0]); }
    catch { await sleep(5); }
  }
  let loaded;
  while (loaded === undefined) {
    if (elapsedMs(t0) > 30000) throw new Error('the page did not load');
    try {
      if (!cdp) {
        const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
        const target = targets.find((t) => t.type === 'page' && t.url === url);
        if (target) cdp = await CDP({ host: '127.0.0.1', port, target: target.id });
      }
      if (cdp) {
        const { result } = await cdp.Runtime.evaluate({
          expression: `document.readyState === 'complete' && location.href === ${JSON.stringify(url)}`,
          returnByValue: true });
        if (result.value === true) loaded = elapsedMs(t0);
      }
    } catch { /* not up yet */ }
    if (loaded === undefined) await sleep(10);
  }
  await cdp.close();
  await sleep(settleMs);
  const hwm = /VmHWM:\s+(\d+)/.exec(fs.readFileSync(`/proc/${chromium.pid}/status`, 'utf8'))[1];
  console.log(`${Math.round(loaded)} ${treePssKiB(chromium.pid)} ${hwm}`);
} finally {
  chromium.kill('SIGTERM');
  await new Promise((r) => (chromium.exitCode !== null ? r() : chromium.on('exit', r)));
}
