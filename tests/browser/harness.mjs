// What the browser tests share: loopback servers (the page's folder served as
// a plain web server would, without any charset, and a form-mail recorder),
// the scenario builder, the browser (Debian's Chromium or Firefox ESR, as
// QUILLORY_BROWSER_ENGINE says), a stand-in mail program, and a student who
// takes a test.
import { spawnSync } from 'node:child_process';
import { chmodSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { tmpdir } from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

// Each engine as a student's browser has it: the popup blocker on (the
// driver's own defaults turn it off), no background traffic, no first-run
// pages.
const ENGINES = {
  chromium: {
    browser: 'chrome',
    executablePath: '/usr/bin/chromium',
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      // No name is looked up: the suite's servers are 127.0.0.1, and nothing
      // else may be reached.
      '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1',
    ],
    ignoreDefaultArgs: ['--disable-popup-blocking'],
  },
  firefox: {
    browser: 'firefox',
    protocol: 'webDriverBiDi',
    executablePath: '/usr/bin/firefox-esr',
    args: [],
    // Firefox takes the address of its settings server from its preferences
    // only with this.
    env: { MOZ_REMOTE_SETTINGS_DEVTOOLS: '1' },
    extraPrefsFirefox: {
      'dom.disable_open_during_load': true,
      // mailto: addresses go to the system's handler without asking.
      'network.protocol-handler.external.mailto': true,
      'network.protocol-handler.warn-external.mailto': false,
      'security.external_protocol_requires_permission': false,
      'widget.use-xdg-desktop-portal.open-uri': 0,
      // Nothing in the background, and nothing beyond the loopback servers:
      // other addresses go through a proxy on a loopback port where nothing
      // listens, so no name is looked up either.
      'network.proxy.type': 1,
      'network.proxy.http': '127.0.0.1',
      'network.proxy.http_port': 9,
      'network.proxy.ssl': '127.0.0.1',
      'network.proxy.ssl_port': 9,
      'app.normandy.enabled': false,
      'app.shield.optoutstudies.enabled': false,
      'app.update.auto': false,
      'browser.newtabpage.activity-stream.feeds.section.topstories': false,
      'browser.newtabpage.activity-stream.feeds.snippets': false,
      'browser.ping-centre.telemetry': false,
      'browser.region.network.url': '',
      'browser.region.update.enabled': false,
      'browser.safebrowsing.provider.mozilla.updateURL': '',
      'browser.search.geoSpecificDefaults': false,
      'browser.topsites.contile.enabled': false,
      'captivedetect.canonicalURL': '',
      'datareporting.policy.dataSubmissionEnabled': false,
      'extensions.blocklist.enabled': false,
      'extensions.getAddons.cache.enabled': false,
      'messaging-system.rsexperimentloader.enabled': false,
      'network.captive-portal-service.enabled': false,
      'network.connectivity-service.enabled': false,
      'network.dns.disablePrefetch': true,
      'network.http.speculative-parallel-limit': 0,
      'network.prefetch-next': false,
      'network.trr.mode': 5,
      'services.settings.server': 'data:,#remote-settings-off/v1',
      'toolkit.telemetry.enabled': false,
      'toolkit.telemetry.server': '',
    },
  },
};

export const ENGINE = process.env.QUILLORY_BROWSER_ENGINE || 'chromium';
if (!ENGINES[ENGINE]) throw new Error(`QUILLORY_BROWSER_ENGINE "${ENGINE}" is none of ${Object.keys(ENGINES).join(', ')}`);

// The smallest GIF: the page shows small.gif beside its title.
const SMALL_GIF = Buffer.from('R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7', 'base64');

// No charset: the page declares none either, as with most servers.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.gif': 'image/gif' };

// Browsers ask every site for its icon; a missing one would log an error.
function serveFavicon(req, res) {
  if (req.method !== 'GET' || !req.url.startsWith('/favicon.ico')) return false;
  res.writeHead(200, { 'Content-Type': 'image/gif' });
  res.end(SMALL_GIF);
  return true;
}

function listen(server) {
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// Serves the files under root on an ephemeral loopback port; remembers the
// path of every request.
export async function startStaticServer(root) {
  const requested = [];
  const server = http.createServer((req, res) => {
    if (serveFavicon(req, res)) return;
    let rel;
    try {
      rel = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    } catch {
      res.writeHead(400).end();
      return;
    }
    requested.push(rel);
    const file = path.join(root, rel);
    if (!file.startsWith(root + path.sep) || req.method !== 'GET') {
      res.writeHead(404).end();
      return;
    }
    try {
      if (!statSync(file).isFile()) throw new Error('not a file');
      const type = TYPES[path.extname(file)] ?? 'application/octet-stream';
      res.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
      res.end(readFileSync(file));
    } catch {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
    }
  });
  await listen(server);
  server.requested = requested;
  server.origin = `http://127.0.0.1:${server.address().port}`;
  return server;
}

// A form-mail script: records each POST to /cgi-bin/form.pl (its fields in
// the order received) and answers with a short thank-you page.
export async function startRecorder() {
  const posts = [];
  const server = http.createServer((req, res) => {
    if (serveFavicon(req, res)) return;
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      const url = new URL(req.url, 'http://127.0.0.1');
      if (req.method !== 'POST' || url.pathname !== '/cgi-bin/form.pl') {
        res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
        return;
      }
      const body = Buffer.concat(chunks).toString('utf8');
      posts.push({
        contentType: req.headers['content-type'],
        fields: [...new URLSearchParams(body)],
      });
      res.writeHead(200, { 'Content-Type': 'text/html' });
      res.end('<html><body><p>Thank you, your results were sent.</p></body></html>');
    });
  });
  await listen(server);
  server.posts = posts;
  server.origin = `http://127.0.0.1:${server.address().port}`;
  server.endpoint = `${server.origin}/cgi-bin/form.pl`;
  return server;
}

export function stopServer(server) {
  return new Promise((resolve) => {
    if (!server) return resolve();
    server.closeAllConnections?.();
    server.close(() => resolve());
  });
}

// A folder for this run: QUILLORY_BROWSER_WORK when run.sh gives one.
export function workFolder(name) {
  const base = process.env.QUILLORY_BROWSER_WORK || mkdtempSync(path.join(tmpdir(), 'quillory-browser-'));
  const dir = path.join(base, ENGINE, name);
  rmSync(dir, { recursive: true, force: true });
  mkdirSync(dir, { recursive: true });
  return dir;
}

function runBuilder(args, what) {
  const builder = process.env.QUILLORY_SCENARIO_BUILDER;
  if (!builder) throw new Error('QUILLORY_SCENARIO_BUILDER is not set (run the suite through run.sh)');
  const run = spawnSync(builder, args, { encoding: 'utf8', timeout: 300_000 });
  if (run.status !== 0) {
    throw new Error(`scenario builder ${builder} (${what}) failed (${run.error ?? run.status ?? run.signal}):\n` +
      `${run.stdout}\n${run.stderr}`);
  }
}

// Has the teacher build each scenario through the main window; returns the
// folder that holds <scenario>/<Title>.html and .js.
export function buildScenarios(scenarios, dir) {
  const description = path.join(dir, 'scenarios.json');
  writeFileSync(description, JSON.stringify(scenarios, null, 2));
  const out = path.join(dir, 'tests');
  mkdirSync(out, { recursive: true });
  runBuilder([description, out], 'scenarios');
  for (const s of scenarios) writeFileSync(path.join(out, s.name, 'small.gif'), SMALL_GIF);
  return out;
}

// The page's line that includes <title>.js, as the program writes it, for
// each title.
export function includeLinesFor(titles, dir) {
  const input = path.join(dir, 'titles.json');
  const output = path.join(dir, 'include-lines.json');
  writeFileSync(input, JSON.stringify(titles));
  runBuilder(['--include-lines', input, output], 'include lines');
  return JSON.parse(readFileSync(output, 'utf8'));
}

// The stand-in for the desktop's mail program. Chromium hands an address that
// it does not open itself to xdg-open, found on its PATH; Firefox asks the
// desktop (GIO) for the default handler of x-scheme-handler/mailto, found
// through the XDG folders. Both reach a script that appends the address to
// a file, one line each, and do nothing else. The browser's environment has
// no display and no desktop of its own, so no other program can answer.
function mailStandIn(dir) {
  const root = mkdtempSync(path.join(dir, 'mail-'));
  const bin = path.join(root, 'bin');
  const apps = path.join(root, 'data', 'applications');
  const config = path.join(root, 'config');
  const empty = path.join(root, 'empty');
  for (const d of [bin, apps, config, empty]) mkdirSync(d, { recursive: true });
  const received = path.join(root, 'received.txt');
  writeFileSync(received, '');
  const recorder = path.join(bin, 'record-address');
  writeFileSync(recorder, `#!/bin/sh\nprintf '%s\\n' "$1" >> '${received}'\n`);
  chmodSync(recorder, 0o755);
  writeFileSync(path.join(bin, 'xdg-open'), `#!/bin/sh\nexec '${recorder}' "$@"\n`);
  chmodSync(path.join(bin, 'xdg-open'), 0o755);
  writeFileSync(path.join(apps, 'quillory-address-recorder.desktop'),
    `[Desktop Entry]\nType=Application\nName=Address recorder\nExec=${recorder} %u\n` +
    'MimeType=x-scheme-handler/mailto;\nNoDisplay=true\n');
  writeFileSync(path.join(config, 'mimeapps.list'),
    '[Default Applications]\nx-scheme-handler/mailto=quillory-address-recorder.desktop\n');

  const env = { ...process.env };
  for (const name of ['DISPLAY', 'WAYLAND_DISPLAY', 'XDG_CURRENT_DESKTOP', 'XDG_SESSION_DESKTOP', 'DESKTOP_SESSION',
    'GNOME_DESKTOP_SESSION_ID', 'KDE_FULL_SESSION', 'DBUS_SESSION_BUS_ADDRESS', 'BROWSER']) delete env[name];
  Object.assign(env, {
    PATH: `${bin}:${process.env.PATH}`,
    XDG_DATA_HOME: path.join(root, 'data'),
    XDG_CONFIG_HOME: config,
    XDG_DATA_DIRS: empty,
    XDG_CONFIG_DIRS: empty,
  });

  let taken = 0;
  const all = () => readFileSync(received, 'utf8').split('\n').slice(0, -1);
  return {
    env,
    // The addresses handed over since the last take: waits until there are
    // count of them, for at most five seconds.
    async take(count = 1) {
      for (let i = 0; i < 250 && all().length - taken < count; ++i) await sleep(20);
      const fresh = all().slice(taken);
      taken += fresh.length;
      return fresh;
    },
  };
}

// Chromium reports what a window logged before the driver watched it only to
// a session that asks for it: the results window, written by the page in the
// same moment it opens, would otherwise go unheard. A session of the suite's
// own, opened on every window, takes every script error and error message,
// those from before included.
async function watchChromiumErrors(target, log) {
  try {
    const session = await target.createCDPSession();
    session.on('Runtime.exceptionThrown', ({ exceptionDetails: d }) =>
      log.errors.push(`page error: ${d.exception?.description ?? d.text} (${d.url ?? ''})`));
    session.on('Runtime.consoleAPICalled', ({ type, args }) => {
      if (type === 'error') log.errors.push(`console error: ${args.map((a) => a.value ?? a.description).join(' ')}`);
    });
    session.on('Log.entryAdded', ({ entry }) => {
      if (entry.level === 'error') log.errors.push(`console error: ${entry.text} (${entry.url ?? ''})`);
    });
    await Promise.all([session.send('Runtime.enable'), session.send('Log.enable')]);
  } catch {
    // The window closed before its session opened.
  }
}

// The browser with a fresh profile. Records every dialog (accepted), every
// script error and every console error of any of its windows.
export async function launchBrowser(dir) {
  const { env = {}, ...options } = ENGINES[ENGINE];
  const profile = mkdtempSync(path.join(dir, 'profile-'));
  // A home of its own: what a browser keeps outside its profile (Firefox's
  // cache folder, a Downloads folder) stays out of the user's home.
  const homeDir = mkdtempSync(path.join(dir, 'home-'));
  const mail = mailStandIn(dir);
  const browser = await puppeteer.launch({
    ...options,
    headless: true,
    userDataDir: profile,
    env: { ...mail.env, HOME: homeDir, XDG_CACHE_HOME: path.join(homeDir, '.cache'), ...env },
    defaultViewport: { width: 1000, height: 800 },
  });
  const log = { dialogs: [], errors: [] };
  const watched = new WeakSet();
  const watch = (page) => {
    if (!page || watched.has(page)) return;
    watched.add(page);
    page.on('dialog', (dialog) => {
      log.dialogs.push({ type: dialog.type(), message: dialog.message() });
      dialog.accept().catch(() => {});
    });
    if (ENGINE === 'chromium') return;
    page.on('pageerror', (e) => log.errors.push(`page error: ${e?.message ?? e}`));
    page.on('console', (m) => {
      if (m.type() === 'error') log.errors.push(`console error: ${m.text()} (${m.location()?.url ?? ''})`);
    });
  };
  browser.on('targetcreated', (target) => {
    if (target.type() !== 'page') return;
    target.page().then(watch, () => {});
    if (ENGINE === 'chromium') watchChromiumErrors(target, log);
  });
  const pages = await browser.pages();
  for (const p of pages) {
    watch(p);
    if (ENGINE === 'chromium') await watchChromiumErrors(p.target(), log);
  }
  // The first window stays open: a browser whose last window closes may quit.
  const home = pages[0] ?? (await browser.newPage());
  return { browser, home, log, profile, homeDir, mail, watch };
}

// Closes every window but the first.
export async function closeWindows(b) {
  for (const p of await b.browser.pages()) if (p !== b.home) await p.close().catch(() => {});
}

export async function closeBrowser(b) {
  if (!b) return;
  await b.browser.close();
  rmSync(b.profile, { recursive: true, force: true });
  rmSync(b.homeDir, { recursive: true, force: true });
}

// The correct answers that <Title>.js gives for the drawn values.
export function answersFor(answerScript, drawn) {
  const a = new Array(100);
  // eslint-disable-next-line no-new-func
  new Function('x', 'y', 'z', 'a', answerScript)(drawn.x, drawn.y, drawn.z, a);
  return a;
}

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Waits until the browser has raised at least count dialogs, for at most two
// seconds, then takes them from the log.
export async function takeDialogs(log, count = 1) {
  for (let i = 0; i < 100 && log.dialogs.length < count; ++i) await sleep(20);
  return log.dialogs.splice(0);
}

// Puts text into a field of a window over what it held, as pasting it would:
// the field is focused and gets input events. (Real keystrokes for every
// answer would make the suite several times slower in Firefox.)
export async function fill(page, selector, text) {
  const value = await page.evaluate((s, t) => {
    const e = document.querySelector(s);
    if (!e) return null;
    e.focus();
    e.select();
    document.execCommand(t ? 'insertText' : 'delete', false, t);
    return e.value;
  }, selector, text);
  if (value !== text) throw new Error(`${selector} holds ${JSON.stringify(value)} after filling in "${text}"`);
}

// Clicks a control in a window, brought to the front as a student's click
// would.
export async function press(page, selector) {
  await page.bringToFront();
  await page.click(selector);
}

// Clicks a control that sends the window elsewhere; returns once the new
// document has loaded.
export async function clickAndWaitForLoad(page, selector) {
  await page.bringToFront();
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click(selector)]);
}

export const textOf = (page) => page.evaluate(() => document.body.innerText);

// A student at one test page.
export class Student {
  constructor(browser, url) {
    this.browser = browser;
    this.log = browser.log;
    this.url = url;
    this.page = null;
  }

  async open() {
    this.page = await this.browser.browser.newPage();
    this.browser.watch(this.page);
    this.navigations = 0;
    this.page.on('framenavigated', (frame) => {
      if (frame === this.page.mainFrame()) this.navigations += 1;
    });
    await this.page.goto(this.url, { waitUntil: 'load' });
    return this;
  }

  async close() {
    await closeWindows(this.browser);
    this.page = null;
  }

  // The page's arrays: drawn values, correct answers, grading state.
  drawn() {
    return this.page.evaluate(() => ({
      x: [...x], y: [...y], z: [...z], a: [...a], g: [...g], ag: [...ag], b: [...b], ck,
    }));
  }

  answer(n, text) {
    return fill(this.page, `input[name="b${n}"]`, text);
  }

  newProblems() {
    return clickAndWaitForLoad(this.page, "input[type=button][value='New Problems']");
  }

  // The other windows.
  async others() {
    const pages = await this.browser.browser.pages();
    return pages.filter((p) => p !== this.page && p !== this.browser.home && !p.isClosed());
  }

  // Presses "submit for grade" and waits for the results window with its grade.
  async grade({ timeout = 10_000 } = {}) {
    // Marks what the other windows show now, so that only a freshly written
    // results document counts.
    for (const p of await this.others()) {
      await p.evaluate(() => document.documentElement?.setAttribute('data-seen', '1')).catch(() => {});
    }
    await press(this.page, "input[type=button][value='submit for grade']");
    const deadline = Date.now() + timeout;
    while (Date.now() < deadline) {
      for (const p of await this.others()) {
        const filled = await p
          .evaluate(() => !document.documentElement.hasAttribute('data-seen') && !!document.body &&
            document.body.innerText.includes('Your Grade: '))
          .catch(() => false);
        if (filled) return p;
      }
      await sleep(20);
    }
    throw new Error('no results window with "Your Grade: " appeared');
  }

  // Presses "submit for grade" and returns the dialogs that it raised.
  async gradeExpectingAlert() {
    this.log.dialogs.splice(0);
    await press(this.page, "input[type=button][value='submit for grade']");
    return takeDialogs(this.log);
  }
}

// Texts of the results window: its problem paragraphs, its whole text and its
// form's named fields.
export function resultsOf(popup) {
  return popup.evaluate(() => ({
    paragraphs: [...document.querySelectorAll('p')].map((p) => p.textContent).filter((t) => t.startsWith('Problem ')),
    text: document.body.innerText,
    form: (() => {
      const f = document.forms[0];
      return f ? [...f.elements].filter((e) => e.name).map((e) => [e.name, e.value]) : null;
    })(),
  }));
}

// The paragraph that the results window shows for problem n.
export function paragraph(n, d) {
  return `Problem ${n} is ${d.ag[n]}.  The correct answer is ${d.a[n]}. Your answer is ${d.b[n]}. ` +
    `The variables (x,y,z) for this problem were (${d.x[n]}, ${d.y[n]}, ${d.z[n]}).`;
}
