// How long a student waits with a test of 99 problems: from navigation to the
// loaded page, and from "submit for grade" to the filled results window.
import assert from 'node:assert/strict';
import { after, before, it } from 'node:test';
import {
  ENGINE, Student, buildScenarios, closeBrowser, launchBrowser, resultsOf, startStaticServer, stopServer, workFolder,
} from './harness.mjs';

const PROBLEMS = 99;
const RUNS = 7;

let site, browser;

before(async () => {
  const work = workFolder('bench');
  const problems = Array.from({ length: PROBLEMS }, () => ({
    statement: 'Add [x] and [y].', x: ['1', '50', '0'], y: ['0', '1', '2'],
    solution: '[x]+[y]', margin: '1', decimals: '2',
  }));
  const out = buildScenarios([{ name: 'big', title: 'Big99', problems }], work);
  site = await startStaticServer(out);
  browser = await launchBrowser(work);
});

after(async () => {
  await closeBrowser(browser);
  await stopServer(site);
});

const median = (values) => [...values].sort((p, q) => p - q)[Math.floor(values.length / 2)];
const ms = (v) => `${v.toFixed(1)} ms`;

it(`a test of ${PROBLEMS} problems loads and grades quickly`, async (t) => {
  const load = [], loadInPage = [], grade = [], gradeInPage = [];
  for (let run = 0; run < RUNS; ++run) {
    const student = new Student(browser, `${site.origin}/big/Big99.html`);
    const start = performance.now();
    await student.open();
    load.push(performance.now() - start);
    loadInPage.push(await student.page.evaluate(() => {
      const nav = performance.getEntriesByType('navigation')[0];
      return nav.loadEventStart - nav.startTime;
    }));

    const d = await student.drawn();
    for (let n = 1; n <= PROBLEMS; ++n) await student.answer(n, String(d.a[n]));
    // In the page: the time that check() takes, which writes the whole results window.
    await student.page.evaluate(() => {
      const button = document.querySelector("input[value='submit for grade']");
      button.addEventListener('click', () => { window.__gradeStart = performance.now(); }, { capture: true });
      button.addEventListener('click', () => { window.__gradeTime = performance.now() - window.__gradeStart; });
    });
    const clicked = performance.now();
    const popup = await student.grade();
    grade.push(performance.now() - clicked);
    gradeInPage.push(await student.page.evaluate(() => window.__gradeTime));

    const results = await resultsOf(popup);
    assert.equal(results.paragraphs.length, PROBLEMS);
    assert.ok(results.text.includes('Your Grade: 100'));
    await student.close();
  }
  assert.deepEqual(browser.log.errors, []);
  const report = [
    `${PROBLEMS} problems in ${ENGINE}, median of ${RUNS} runs:`,
    `navigation to loaded page: ${ms(median(load))} (driver), ${ms(median(loadInPage))} (page's navigation timing)`,
    `"submit for grade" to filled results window: ${ms(median(grade))} (driver), ${ms(median(gradeInPage))} (in the page)`,
  ];
  for (const line of report) {
    console.log(`benchmark: ${line}`);
    t.diagnostic(line);
  }
});
