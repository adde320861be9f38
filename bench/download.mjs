// Download of a large file through the workspace (save dialog answered with xdotool)
// next to curl -o to the same disk; prints throughputs, their ratio and the client's
// RSS growth during the download. Run by download.sh.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Road, page, waitFor, sleep } from '../tests/e2e/harness.mjs';

const mib = Number(process.env.SIZE_MIB || 1024);
const road = new Road();
await road.setUp();
try {
  const client = await road.startClient();
  const login = await page(client, /\/login\/index\.html/);
  await login.type('#password', 'demo');
  await login.clickAway('#login');
  const work = await page(client, /\/workspace\/main\.html/);
  await work.ready('#who');

  const target = path.join(road.root, 'saved.bin');
  const rss = () => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${client.child.pid}/status`, 'utf8'))[1]);
  const before = rss();
  await work.eval(`(() => { const a = document.createElement('a'); a.href = '/files/large.bin?mb=${mib}';
    document.body.appendChild(a); a.click(); })()`);
  const dialog = await waitFor('the save dialog', () => {
    try { return execFileSync('xdotool', ['search', '--onlyvisible', '--name', '保存文件']).toString().trim().split('\n')[0]; }
    catch { return ''; }
  });
  execFileSync('xdotool', ['windowfocus', '--sync', dialog]);
  execFileSync('xdotool', ['key', 'ctrl+a']);
  execFileSync('xdotool', ['type', '--delay', '1', target]);
  const t0 = Date.now();
  execFileSync('xdotool', ['key', 'Return']);
  let peak = before;
  const bytes = mib * 1048576;
  await waitFor('the saved file', () => {
    peak = Math.max(peak, rss());
    return fs.existsSync(target) && fs.statSync(target).size === bytes;
  }, 600000);
  const clientMs = Date.now() - t0;

  const c0 = Date.now();
  execFileSync('curl', ['-s', '-o', path.join(road.root, 'curl.bin'), `${road.url}/files/large.bin?mb=${mib}`]);
  const curlMs = Date.now() - c0;
  const rate = (ms) => (mib / (ms / 1000)).toFixed(0);
  console.log(`Download of ${mib} MiB from 127.0.0.1 (${new Date().toISOString().slice(0, 10)})\n`);
  console.log('| client | time | throughput | RSS growth |');
  console.log('|---|---|---|---|');
  console.log(`| MervoClient workspace | ${clientMs} ms | ${rate(clientMs)} MiB/s | ${((peak - before) / 1024).toFixed(0)} MiB |`);
  console.log(`| curl -o | ${curlMs} ms | ${rate(curlMs)} MiB/s | - |`);
  console.log(`| ratio (client / curl throughput) | ${(curlMs / clientMs).toFixed(2)} | | |`);
} finally {
  await road.tearDown(false);
}
