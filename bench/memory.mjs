// Memory of a process tree from /proc: the RSS of the main process and the PSS of the
// process with every descendant (Qt WebEngine's zygote and renderers included).
import fs from 'node:fs';

const kib = (text, key) => Number(new RegExp(`^${key}:\\s+(\\d+)`, 'm').exec(text)?.[1] ?? 0);

export function rssKiB(pid) {
  return kib(fs.readFileSync(`/proc/${pid}/status`, 'utf8'), 'VmRSS');
}

export function treePids(root) {
  const children = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      const ppid = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(ppid)) children.set(ppid, []);
      children.get(ppid).push(Number(entry));
    } catch { /* gone meanwhile */ }
  }
  const pids = [];
  const walk = (pid) => { pids.push(pid); for (const c of children.get(pid) ?? []) walk(c); };
  walk(root);
  return pids;
}

export function treePssKiB(root) {
  let total = 0;
  for (const pid of treePids(root)) {
    try { total += kib(fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'), 'Pss'); } catch { /* gone */ }
  }
  return total;
}
