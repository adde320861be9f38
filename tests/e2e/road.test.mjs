import { test, before, after } from 'node:test';
import { spawn, execFileSync } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { page, waitFor, sleep, withRoad } from './harness.mjs';

const TITLE = 'Mervo客户端';
const xwin = (...args) => {
  try { execFileSync(process.env.MERVO_XWIN, args.map(String)); return true; } catch { return false; }
};
const visible = (client, title = TITLE) => xwin('viewable', client.child.pid, title);

// A system tray on the X server, so hiding to the tray is the real thing.
let tray;
before(async () => {
  tray = spawn('trayer', ['--edge', 'top', '--widthtype', 'pixel', '--width', '64'], { stdio: 'ignore' });
  await waitFor('the tray', () => xwin('tray'));
});
after(() => tray.kill());

async function login(client, { password = 'demo', quickCode = '1234' } = {}) {
  const p = await page(client, /\/login\/index\.html/);
  await p.ready('#login');
  await p.type('#company', 'Acme');
  await p.type('#user', 'demo');
  await p.type('#password', password);
  await p.type('#quick-code-new', quickCode);
  if (password === 'demo')
    await p.clickAway('#login');
  else
    await p.click('#login');
  return p;
}

test('first login, workspace, log-out, remembered user, quick login', async (t) => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();

    // Wrong credentials stay on the login page with an error.
    const wrong = await login(client, { password: 'nope' });
    await waitFor('the error', async () => (await wrong.text('#login-error')).includes('错误'));
    await wrong.close();

    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    await waitFor('the session', async () => (await work.text('#who')).includes('Acme / demo'));
    const record = fs.readFileSync(path.join(process.env.XDG_DATA_HOME, 'MervoClient', 'login.secret'), 'utf8');
    assert.match(record, /"companyName": "Acme"/);
    assert.doesNotMatch(record, /"quickLoginCode": "1234"/);

    await work.clickAway('#logout');
    const again = await page(client, /\/login\/index\.html/);
    await waitFor('the remembered user', async () => (await again.text('#remembered')).includes('Acme / demo'));

    await again.type('#quick-code', '0000');
    await again.click('#quick-login');
    await waitFor('the refusal', async () => (await again.text('#quick-error')).length > 0);
    await again.type('#quick-code', '1234');
    await again.clickAway('#quick-login');
    const back = await page(client, /\/workspace\/main\.html/);
    await waitFor('the session again', async () => (await back.text('#who')).includes('Acme / demo'));
  });
});

test('registration in a sub window ends in the workspace', async () => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();
    const p = await page(client, /\/login\/index\.html/);
    await p.click('#register');
    const reg = await page(client, /\/register\/step1\.html/);
    await reg.type('#company', '星辰贸易');
    await reg.clickAway('#finish');
    const work = await page(client, /\/workspace\/main\.html.*welcome=1/);
    await waitFor('the new company', async () => (await work.text('#who')).includes('星辰贸易'));
  });
});

test('a report opens in a secondary window; a redirect away from the service logs out', async () => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();
    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    await work.click('#report');
    const report = await page(client, /\/workspace\/report\.html/);
    await report.ready('td');
    assert.equal(await report.text('td'), '华北');
    // The window sizes itself as its page arrives; a click that lands before the
    // layout settles misses the button, so press again, as a person would.
    await waitFor('the report window to go', async () => {
      await report.click('#close').catch(() => {});
      await sleep(300);
      const res = await fetch(`http://127.0.0.1:${client.port}/json`);
      return !(await res.json()).some((t) => /report\.html/.test(t.url));
    });
    await report.close();

    await work.clickAway('#leave');
    await page(client, /\/login\/index\.html/);
  });
});

test('an update installs silently and ends the client', async () => {
  await withRoad({ clientName: 'MervoClientUpdating', updateJson: { success: true, data: {
    needUpdate: true, url: '/installer/MervoSetup.sh', installerName: 'MervoSetup.sh' } } }, async (road) => {
    const client = await road.startClient();
    const record = path.join(road.state, 'installer-runs.txt');
    await waitFor('the installer run', () => fs.existsSync(record), 30000);
    assert.match(fs.readFileSync(record, 'utf8'), /cwd=.*\/bin args=\/SILENT$/m);
    await waitFor('the client to be ended', () => client.exited, 10000);
    assert.equal(client.exited.signal, 'SIGKILL');
  });
});

test('a download is saved through the dialog', async () => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();
    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    await work.click('#download-xlsx');
    const dialog = await waitFor('the save dialog', () => {
      try { return execFileSync('xdotool', ['search', '--onlyvisible', '--name', '保存文件']).toString().split('\n')[0]; }
      catch { return ''; }
    });
    const target = path.join(road.root, 'saved-report.xlsx');
    execFileSync('xdotool', ['windowfocus', '--sync', dialog]);
    execFileSync('xdotool', ['key', 'ctrl+a']);
    execFileSync('xdotool', ['type', '--delay', '1', target]);
    execFileSync('xdotool', ['key', 'Return']);
    await waitFor('the saved file', () => fs.existsSync(target) && fs.statSync(target).size > 0);
    assert.match(fs.readFileSync(target, 'utf8'), /^region,quarter,revenue/);
  });
});

test('closing the workspace hides to the tray when asked to; a second start brings it back', async () => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();
    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    await work.ready('#who');
    const title = await waitFor('the window', () => {
      for (const t of [TITLE, 'Mervo 演示版']) if (visible(client, t)) return t;
      return '';
    });
    assert.ok(xwin('close', client.child.pid, title));
    await waitFor('the close dialog', () => visible(client, '关闭提示'));
    const dialog = execFileSync('xdotool', ['search', '--onlyvisible', '--name', '关闭提示']).toString().split('\n')[0];
    // Widget positions come from the dialog's form: "不再提醒", then "确认" ("最小化到系统托盘" is the default).
    execFileSync('xdotool', ['mousemove', '--sync', '--window', dialog, '60', '108', 'click', '1']);
    execFileSync('xdotool', ['mousemove', '--sync', '--window', dialog, '217', '111', 'click', '1']);
    await waitFor('the window to hide', () => !visible(client, title));
    assert.equal(client.exited, null);
    assert.match(road.config(), /^CloseAction=min$/m);

    const second = await road.startClient();
    await waitFor('the second start to end', () => second.exited, 30000);
    assert.equal(second.exited.code, 0);
    await waitFor('the window to come back', () => visible(client, title));
  });
});

test('service down at start: the client\'s own page, then the login page by itself, in Chinese', async () => {
  await withRoad({ startService: false }, async (road) => {
    const client = await road.startClient();
    const p = await page(client, /\/login\/index\.html/);
    await waitFor('the outage page', async () =>
      (await p.eval('document.title')) === '无法连接到服务器' &&
      (await p.text('#address')) === `${road.url}/login/index.html` &&
      (await p.text('#retry')) === '重试');

    await road.startService();
    // The longest wait between two tries is 30 s.
    await waitFor('the login page', () => p.eval("!!document.querySelector('#login')"), 40000);
    assert.equal(await p.eval('navigator.languages.join()'), 'zh-CN,zh');
    assert.equal(await p.eval(`(() => { const i = document.createElement('input'); i.required = true;
      return i.validationMessage; })()`), '请填写此字段。');
    assert.match(road.log(), /service unreachable: ERR_CONNECTION_REFUSED/);
  });
});
