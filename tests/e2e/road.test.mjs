import { test, before, after } from 'node:test';
import { spawn, execFileSync } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { page, waitFor, sleep, withRoad, makeUser, removeUser, rendererPids } from './harness.mjs';

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

test('find in page, full screen in and out, back with Alt+Left, by keyboard', async () => {
  await withRoad({}, async (road) => {
    const client = await road.startClient();
    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    await work.ready('#chart');
    const title = await waitFor('the window', () => {
      for (const t of [TITLE, 'Mervo 演示版']) if (visible(client, t)) return t;
      return '';
    });
    const win = execFileSync('xdotool', ['search', '--onlyvisible', '--name', title]).toString().split('\n')[0];
    const key = (...keys) => execFileSync('xdotool', ['key', '--window', win, ...keys]);
    const logged = (line) => road.log().split('\n').filter((l) => l.includes(line)).length;
    // A person's click into the page puts the keyboard there.
    execFileSync('xdotool', ['windowfocus', '--sync', win]);
    execFileSync('xdotool', ['mousemove', '--sync', '--window', win, '2', '60', 'click', '1']);

    key('ctrl+f');
    execFileSync('xdotool', ['type', '--window', win, '--delay', '50', 'Q3']);
    await waitFor('two matches', () => logged('find: 第 1 项，共 2 项') > 0);
    key('Return');
    await waitFor('the second match', () => logged('find: 第 2 项，共 2 项') > 0);
    key('Escape');
    await waitFor('the bar to close', () => logged('find: closed') === 1);

    await work.click('#fullscreen');
    await waitFor('the chart full screen', async () =>
      logged('full screen: on') === 1 && (await work.eval('document.fullscreenElement && document.fullscreenElement.id')) === 'chart');
    key('Escape');
    await waitFor('full screen left', async () =>
      logged('full screen: off') === 1 && (await work.eval('document.fullscreenElement === null')));
    key('F11');
    await waitFor('F11 in', () => logged('full screen: on') === 2);
    key('F11');
    await waitFor('F11 out', () => logged('full screen: off') === 2);

    await work.click('#report-here');
    await page(client, /\/workspace\/report\.html\?kind=week/);
    key('alt+Left');
    await waitFor('back in the workspace', async () =>
      /\/workspace\/main\.html/.test(await work.eval('location.href').catch(() => '')));
    assert.equal(client.exited, null);
    await work.close();
  });
});

// The update the demo service offers: the next version's package, signed with the key
// pair the build made (a build with release keys has neither).
const UPDATE_DIR = process.env.MERVO_DEMO_UPDATE_DIR ?? '';
const UPDATE = fs.existsSync(UPDATE_DIR) && fs.readdirSync(UPDATE_DIR).find((f) => /^MervoSetup-.+\.run$/.test(f));
const NEXT = UPDATE && UPDATE.slice('MervoSetup-'.length, -'.run'.length);
const noUpdate = !(UPDATE && process.env.MERVO_UPDATE_SECRET_KEY) && 'this build offers no signed update';
const update = (data = {}) => ({ success: true, data: { needUpdate: true, ...data } });
const helpers = (name) => fs.readdirSync('/proc').some((p) => {
  try { return fs.readFileSync(`/proc/${p}/cmdline`, 'latin1').includes(`\0--application-name=${name}\0`); } catch { return false; }
});
const setting = (road, key) => (road.config().match(new RegExp(`^${key}=(.*)$`, 'm')) || [])[1];

test('a signed update ends the client, upgrades its folder in place and starts the new version', { skip: noUpdate }, async () => {
  await withRoad({ clientName: 'MervoClientUpdating', updateJson: update() }, async (road) => {
    // Choices and the identity that earlier runs cached.
    const kept = { CloseAction: 'min', PID: '0F8BFBFF000906EA', HID: 'S3YJNX0K' };
    fs.appendFileSync(path.join(road.bin, 'config.ini'),
      Object.entries(kept).map(([key, value]) => `${key}=${value}\n`).join(''));
    const oldClient = fs.statSync(path.join(road.bin, 'MervoClient')).ino;
    const client = await road.startClient();
    await waitFor('the client to be ended', () => client.exited, 60000);
    assert.equal(client.exited.signal, 'SIGKILL');

    const pid = await waitFor('the new client', () => road.programPids('MervoClient')[0], 60000);
    // The login page names the window through the client's bridge.
    await waitFor('its window with the login page', () => xwin('viewable', pid, 'Mervo 业务平台 - 登录'), 60000);
    assert.notEqual(fs.statSync(path.join(road.bin, 'MervoClient')).ino, oldClient);
    for (const [key, value] of Object.entries({ Version: NEXT, ...kept })) assert.equal(setting(road, key), value, key);
    assert.ok(!fs.existsSync(path.join(process.env.XDG_DATA_HOME, 'Mervo')), 'installed nowhere else');

    // Its updater asked the service as the new version and was turned down; nothing
    // of the ended client lives on.
    const asked = fs.readFileSync(path.join(road.state, 'update-requests.log'), 'utf8').trim().split('\n')
      .map((line) => JSON.parse(line.slice(line.indexOf(' ') + 1)).localVersion);
    assert.deepEqual(asked, [process.env.MERVO_VERSION, NEXT]);
    assert.deepEqual(road.programPids('MervoClient'), [pid]);
    await waitFor('the ended client\'s web processes to end', () => !helpers('MervoClientUpdating'), 20000);
  });
});

test('a tampered installer is refused and the client goes on', { skip: noUpdate }, async () => {
  // A valid signature for the offered name and version, but of other bytes.
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mervo-sign-'));
  fs.writeFileSync(path.join(dir, UPDATE), '#!/bin/sh\necho the genuine installer\n');
  const signed = JSON.parse(execFileSync('bash', [process.env.MERVO_SIGN_TOOL, path.join(dir, UPDATE),
    NEXT, process.env.MERVO_UPDATE_SECRET_KEY], { stdio: ['ignore', 'pipe', 'ignore'] }).toString());
  fs.rmSync(dir, { recursive: true });
  await withRoad({ clientName: 'MervoClientTampered', updateJson: update({ signature: signed.signature }) },
    async (road) => {
      const client = await road.startClient();
      // Other bytes than the signed ones: refused by their size before the body is read.
      await waitFor('the refusal', () => /installer refused: the server announces \d+ bytes, the signature \d+/
        .test(road.log()), 30000);
      await page(client, /\/login\/index\.html/);
      assert.equal(client.exited, null);
      assert.equal(setting(road, 'Version'), process.env.MERVO_VERSION);
      assert.deepEqual(road.programPids('MervoClient'), []);
    });
});

test('two downloads are saved through the dialog and listed; after a restart Ctrl+J shows the list', async () => {
  await withRoad({}, async (road) => {
    fs.appendFileSync(path.join(road.bin, 'config.ini'), 'CloseAction=close\n');
    const listFile = path.join(process.env.XDG_DATA_HOME, 'MervoClient', 'downloads.json');
    const listed = () => JSON.parse(fs.readFileSync(listFile, 'utf8')).downloads;
    const ours = () => listed().filter((d) => d.path.startsWith(road.root));
    const client = await road.startClient();
    await login(client);
    const work = await page(client, /\/workspace\/main\.html/);
    const targets = [path.join(road.root, 'saved-report.xlsx'), path.join(road.root, 'quarter.xlsx')];
    for (const [link, target] of [['#download-xlsx', targets[0]], ['#download-chinese', targets[1]]]) {
      // A script click: the first download's completion box masks the page.
      await work.ready(link);
      await work.eval(`document.querySelector('${link}').click()`);
      await saveAs(target);
      await waitFor('the saved file', () => fs.existsSync(target) && fs.statSync(target).size > 0);
      await waitFor('its entry completed', () => ours().some((d) => d.path === target && d.state === 'completed'));
    }
    assert.match(fs.readFileSync(targets[0], 'utf8'), /^region,quarter,revenue/);
    // Newest first, with what each download left on disk; the file is the owner's alone.
    assert.deepEqual(ours().map((d) => [d.path, d.fileSize]), [...targets].reverse().map((t) => [t, fs.statSync(t).size]));
    assert.equal(fs.statSync(listFile).mode & 0o777, 0o600);

    await work.close();
    await waitFor('the window to close', () => [TITLE, 'Mervo 演示版'].some((t) => xwin('close', client.child.pid, t)));
    await waitFor('the client to end', () => client.exited, 30000);

    const again = await road.startClient();
    await (await page(again, /\/login\/index\.html/)).ready('#login');
    const window = await waitFor('the login window', () => {
      try { return execFileSync('xdotool', ['search', '--onlyvisible', '--pid', String(again.child.pid), '--name', 'Mervo']).toString().split('\n')[0]; }
      catch { return ''; }
    });
    execFileSync('xdotool', ['windowfocus', '--sync', window]);
    execFileSync('xdotool', ['mousemove', '--sync', '--window', window, '20', '200', 'click', '1']);
    execFileSync('xdotool', ['key', 'ctrl+j']);
    await waitFor('the list', () => visible(again, '下载列表'));
    assert.match(road.log(), new RegExp(`downloads list shown: ${listed().length}\\n`));
    assert.deepEqual(ours().map((d) => d.state), ['completed', 'completed']);
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

// Answers the client's save dialog with the given file.
async function saveAs(target) {
  const dialog = await waitFor('the save dialog', () => {
    try { return execFileSync('xdotool', ['search', '--onlyvisible', '--name', '保存文件']).toString().split('\n')[0]; }
    catch { return ''; }
  });
  execFileSync('xdotool', ['windowfocus', '--sync', dialog]);
  execFileSync('xdotool', ['key', 'ctrl+a']);
  execFileSync('xdotool', ['type', '--delay', '1', target]);
  execFileSync('xdotool', ['key', 'Return']);
}

test('quitting after a download broke off ends cleanly, from the workspace and after a log-out', async () => {
  // Freed memory is overwritten, so a use after free at exit crashes every time.
  process.env.MALLOC_PERTURB_ = '165';
  try {
    await withRoad({}, async (road) => {
      fs.appendFileSync(path.join(road.bin, 'config.ini'), 'CloseAction=close\n');
      const log = path.join(road.state, 'cut-requests.log');
      const requests = () => (fs.existsSync(log) ? fs.readFileSync(log, 'utf8').split('\n').length - 1 : 0);
      for (let round = 0; round < 20; ++round) {
        const client = await road.startClient();
        await login(client);
        const work = await page(client, /\/workspace\/main\.html/);
        await work.ready('#who');
        const before = requests();
        await work.eval(`(() => { const a = document.createElement('a'); a.href = '/files/cut.bin?mb=1&kb=64';
          document.body.appendChild(a); a.click(); })()`);
        await saveAs(path.join(road.root, `cut-${round}.bin`));
        // The transfer breaks off and the engine resumes it; the second resumption
        // means the first one has run its course.
        await waitFor('two resumptions', () => requests() >= before + 3);
        if (round % 2) {
          await work.clickAway('#logout');
          await (await page(client, /\/login\/index\.html/)).close();
        } else {
          await work.close();
        }
        await waitFor('the window to close', () =>
          [TITLE, 'Mervo 演示版', 'Mervo 业务平台 - 登录'].some((t) => xwin('close', client.child.pid, t)));
        // A transfer still running makes the client ask first: "退出" (the button after the
        // focused "取消") cancels it and quits.
        await waitFor('the client to end or ask', () => client.exited || visible(client, '退出提示'), 30000);
        if (!client.exited) {
          const ask = execFileSync('xdotool', ['search', '--onlyvisible', '--name', '退出提示']).toString().split('\n')[0];
          execFileSync('xdotool', ['windowfocus', '--sync', ask]);
          execFileSync('xdotool', ['key', 'Tab', 'space']);
        }
        await waitFor('the client to end', () => client.exited, 30000);
        assert.deepEqual(client.exited, { code: 0, signal: null }, `round ${round}`);
      }
    });
  } finally {
    delete process.env.MALLOC_PERTURB_;
  }
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

test('the web profile lasts from one run to the next, in the same folder on Qt 5 and Qt 6; cookies stay session-only', async () => {
  await withRoad({}, async (road) => {
    fs.appendFileSync(path.join(road.bin, 'config.ini'), 'CloseAction=close\n');
    const client = await road.startClient();
    const first = await page(client, /\/login\/index\.html/);
    await first.ready('#login');
    await first.eval("document.cookie = 'kept=1; max-age=86400; path=/'; localStorage.setItem('kept', '2')");
    await first.close();
    const title = execFileSync('xdotool', ['search', '--onlyvisible', '--pid', String(client.child.pid),
      '--name', 'Mervo', 'getwindowname']).toString().split('\n')[0];
    await waitFor('the window to close', () => xwin('close', client.child.pid, title));
    await waitFor('the client to end', () => client.exited, 30000);

    const again = await road.startClient();
    const next = await page(again, /\/login\/index\.html/);
    await next.ready('#login');
    // The login keeps no cookie on disk, even one the page asked to last.
    assert.equal(await next.eval("document.cookie.includes('kept=1') + ' ' + localStorage.getItem('kept')"), 'false 2');
    // Where Qt 5's default profile always kept it: moving between the builds keeps it.
    assert.ok(fs.existsSync(path.join(process.env.XDG_DATA_HOME, 'MervoClient', 'QtWebEngine', 'Default', 'Local Storage')));
  });
});

const asRoot = process.getuid() === 0 ? false : 'makes a throw-away user: needs root';

test('an ordinary user: renderers sandboxed (whatever the environment says), a frame of another site in a renderer of its own, a link to it in the browser', { skip: asRoot }, async () => {
  const user = makeUser();
  try {
    await withRoad({ user }, async (road) => {
      const client = await road.startClient({ env: { QTWEBENGINE_DISABLE_SANDBOX: '1' } });
      const p = await page(client, /\/login\/index\.html/);
      await p.ready('#login');
      // The same service reached as localhost is another site.
      const other = `${road.url.replace('127.0.0.1', 'localhost')}/login/index.html`;
      assert.equal(await p.eval(`new Promise((done) => { const f = document.createElement('iframe');
        f.onload = () => done(true); f.src = '${other}?in=frame'; document.body.appendChild(f); })`), true);
      const renderers = await waitFor('two renderers', () => {
        const pids = rendererPids(user.uid);
        return pids.length === 2 && pids;
      });
      for (const pid of renderers)
        assert.match(fs.readFileSync(`/proc/${pid}/status`, 'utf8'), /^Seccomp:\s+2$/m, `renderer ${pid}`);

      await p.eval(`(() => { const a = document.createElement('a'); a.href = '${other}?by=link';
        document.body.appendChild(a); a.click(); return true; })()`);
      await waitFor('the browser to get the link', () =>
        fs.existsSync(user.opened) && fs.readFileSync(user.opened, 'utf8').includes(`${other}?by=link`));
      await sleep(300);
      assert.match(await p.eval('location.href'), /^http:\/\/127\.0\.0\.1:\d+\/login\/index\.html/);
      assert.match(road.log(), /foreign site to the browser: http:\/\/localhost:\d+\/login\/index\.html\?by=link/);
      assert.match(road.log(), new RegExp(`web engine: Qt WebEngine ${process.env.MERVO_QT_MAJOR || 5}\\.\\d+\\.\\d+ \\(Chromium \\d+\\.`));
      assert.doesNotMatch(road.log(), /sandbox: turned off/);
      assert.match(road.log(), /sandbox: QTWEBENGINE_DISABLE_SANDBOX and --no-sandbox are ignored/);
    });
  } finally {
    removeUser(user);
  }
});

test('where the sandbox cannot start the user is told why, in Chinese, and the client ends', { skip: asRoot }, async () => {
  await withRoad({}, async (road) => {
    // A user namespace of its own that may create none below it: the engine's sandbox
    // cannot start there.
    const client = await road.startClient({
      wrap: ['unshare', '--user', '--map-root-user', 'sh', '-c',
             'echo 0 > /proc/sys/user/max_user_namespaces && exec env -u QTWEBENGINE_DISABLE_SANDBOX "$0"'],
    });
    await waitFor('the message', () => visible(client));
    assert.match(road.log(), /sandbox: cannot start, this user may not create user namespaces/);
    assert.doesNotMatch(road.log(), /No usable sandbox/);
    await waitFor('the message to close', () => xwin('close', client.child.pid, TITLE));
    await waitFor('the client to end', () => client.exited);
    assert.equal(client.exited.code, 1);
  });
});
