// What the browser tests share: loopback servers (the page's folder served as
// a plain web server would, without any charset, and a form-mail recorder),
// the scenario builder, Chromium, and a student who takes a test.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const CHROMIUM = '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

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

// Serves the files under root on an ephemeral loopback port.
export async function startStaticServer(root) {
  const server = http.createServer((req, res) => {
    if (serveFavicon(req, res)) return;
    let rel;
    try {
      rel = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    } catch {
      res.writeHead(400).end();
      return;
    }
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
  const dir = path.join(base, name);
  rmSync(dir, { recursive: true, force: true });
  mkdirSync(dir, { recursive: true });
  return dir;
}

// Has the teacher build each scenario through the main window; returns the
// folder that holds <scenario>/<Title>.html and .js.
export function buildScenarios(scenarios, dir) {
  const builder = process.env.QUILLORY_SCENARIO_BUILDER;
  if (!builder) throw new Error('QUILLORY_SCENARIO_BUILDER is not set (run the suite through run.sh)');
  const description = path.join(dir, 'scenarios.json');
  writeFileSync(description, JSON.stringify(scenarios, null, 2));
  const out = path.join(dir, 'tests');
  mkdirSync(out, { recursive: true });
  const run = spawnSync(builder, [description, out], { encoding: 'utf8', timeout: 300_000 });
  if (run.status !== 0) {
    throw new Error(`scenario builder ${builder} failed (${run.error ?? run.status ?? run.signal}):\n` +
      `${run.stdout}\n${run.stderr}`);
  }
  for (const s of scenarios) writeFileSync(path.join(out, s.name, 'small.gif'), SMALL_GIF);
  return out;
}

// Chromium with a fresh profile. Records every dialog (accepted), every
// script error and every console error of any of its windows.
export async function launchBrowser(dir) {
  const profile = mkdtempSync(path.join(dir, 'profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_FLAGS,
    viewport: { width: 1000, height: 800 },
  });
  const log = { dialogs: [], errors: [] };
  context.on('dialog', (dialog) => {
    log.dialogs.push({ type: dialog.type(), message: dialog.message() });
    dialog.accept().catch(() => {});
  });
  context.on('weberror', (e) => log.errors.push(`page error: ${e.error()?.message ?? e.error()}`));
  context.on('console', (m) => {
    if (m.type() === 'error') log.errors.push(`console error: ${m.text()} (${m.location()?.url ?? ''})`);
  });
  return { context, log, profile };
}

export async function closeBrowser(browser) {
  if (!browser) return;
  await browser.context.close();
  rmSync(browser.profile, { recursive: true, force: true });
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

// A student at one test page.
export class Student {
  constructor(browser, url) {
    this.context = browser.context;
    this.log = browser.log;
    this.url = url;
    this.page = null;
  }

  async open() {
    this.page = await this.context.newPage();
    this.navigations = 0;
    this.page.on('framenavigated', (frame) => {
      if (frame === this.page.mainFrame()) this.navigations += 1;
    });
    await this.page.goto(this.url, { waitUntil: 'load' });
    return this;
  }

  async close() {
    for (const p of this.context.pages()) await p.close().catch(() => {});
    this.page = null;
  }

  // The page's arrays: drawn values, correct answers, grading state.
  drawn() {
    return this.page.evaluate(() => ({
      x: [...x], y: [...y], z: [...z], a: [...a], g: [...g], ag: [...ag], b: [...b], ck,
    }));
  }

  async answer(n, text) {
    await this.page.fill(`input[name="b${n}"]`, text);
  }

  async newProblems() {
    await Promise.all([
      this.page.waitForEvent('load'),
      this.page.click("input[type=button][value='New Problems']"),
    ]);
  }

  // Presses "submit for grade" and waits for the results window with its grade.
  async grade({ timeout = 10_000 } = {}) {
    // Marks what the other windows show now, so that only a freshly written
    // results document counts.
    for (const p of this.context.pages()) {
      if (p === this.page || p.isClosed()) continue;
      await p.evaluate(() => document.documentElement?.setAttribute('data-seen', '1')).catch(() => {});
    }
    await this.page.click("input[type=button][value='submit for grade']");
    const deadline = Date.now() + timeout;
    while (Date.now() < deadline) {
      for (const p of this.context.pages()) {
        if (p === this.page || p.isClosed()) continue;
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
    await this.page.click("input[type=button][value='submit for grade']");
    return takeDialogs(this.log);
  }
}

// Texts of the results window: its problem paragraphs and its whole text.
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
