// Login, report window, close, log-out, ROUNDS times against the demo service, as a
// person would do it through the pages; every 50 rounds a row of memory and windows.
// Run by soak.sh.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { Road, page, waitFor } from '../tests/e2e/harness.mjs';
import { rssKiB, treePids, treePssKiB } from './memory.mjs';

const rounds = Number(process.env.ROUNDS || 200);
const mib = (k) => (k / 1024).toFixed(1);
const windows = (pid) => Number(execFileSync(process.env.MERVO_XWIN, ['count', String(pid)]).toString());

async function round(client) {
  const login = await page(client, /\/login\/index\.html/);
  await login.type('#password', 'demo');
  await login.clickAway('#login');
  const work = await page(client, /\/workspace\/main\.html/);
  await work.ready('#who');
  await work.click('#report');
  const report = await page(client, /\/workspace\/report\.html/);
  await report.ready('td');
  await waitFor('the report window to close', async () => {
    await report.click('#close').catch(() => {});
    const res = await fetch(`http://127.0.0.1:${client.port}/json`);
    return !(await res.json()).some((t) => /report\.html/.test(t.url));
  });
  await report.close();
  await work.clickAway('#logout');
}

const road = new Road();
await road.setUp();
try {
  const client = await road.startClient();
  const pid = client.child.pid;
  const rows = [];
  let base;
  for (let r = 1; r <= rounds; ++r) {
    await round(client);
    if (r === 10 || r % 50 === 0 || r === rounds) {
      // Let deferred deletes run and the closed pages' renderers end.
      await new Promise((res) => setTimeout(res, 3000));
      const row = { r, rss: rssKiB(pid), pss: treePssKiB(pid), win: windows(pid),
                    procs: treePids(pid).length };
      if (r === 10) base = row;
      rows.push(row);
      console.error(`round ${r}: RSS ${mib(row.rss)} MiB, PSS ${mib(row.pss)} MiB, windows ${row.win}, processes ${row.procs}`);
    }
  }
  const load = fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
  const shortened = rounds < 200 ? ` (shortened: ROUNDS=${rounds}, the script's default is 200)` : '';
  console.log(`Soak of ${rounds} rounds${shortened}: login, report window, close, log-out; load average ${load}, ${new Date().toISOString().slice(0, 10)}\n`);
  console.log('| round | client RSS | tree PSS | growth since round 10 (RSS / PSS) | X windows | processes |');
  console.log('|---|---|---|---|---|---|');
  for (const row of rows) {
    const growth = base ? `${mib(row.rss - base.rss)} / ${mib(row.pss - base.pss)} MiB` : '-';
    console.log(`| ${row.r} | ${mib(row.rss)} MiB | ${mib(row.pss)} MiB | ${growth} | ${row.win} | ${row.procs} |`);
  }
} finally {
  await road.tearDown(false);
}
