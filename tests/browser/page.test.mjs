// A teacher's tests, built through the main window, taken by a student in
// Debian's Chromium or Firefox ESR: drawing, answers, grading, the results
// window and both ways of sending the results.
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, afterEach, before, describe, it } from 'node:test';
import { pathToFileURL } from 'node:url';
import {
  ENGINE, Student, answersFor, buildScenarios, clickAndWaitForLoad, closeBrowser, closeWindows, fill, launchBrowser,
  includeLinesFor, paragraph, press, resultsOf, sleep, startRecorder, startStaticServer, stopServer, takeDialogs, textOf,
  workFolder,
} from './harness.mjs';

// Problems of the CGI test, in the teacher's words. Values fixed by min = max
// make some answers known in advance.
const KINEMATICS = [
  { statement: 'A car covers [x] km in [y] h. What is its speed in km/h?',
    x: ['10', '100', '0'], y: ['1.5', '4', '1'], solution: '[x]/[y]', margin: '2', decimals: '1' },
  // Chained: [x] is not shown, so the solution takes problem 1's x.
  { statement: 'The car keeps that speed for [y] h. How far does it go?',
    y: ['2', '9', '0'], solution: '[x]*[y]', margin: '1', decimals: 'No' },
  // A negative minimum, and a variable at two decimals.
  { statement: 'At night it was [x] degrees; by noon it rose by [z] degrees. How warm is it at noon?',
    x: ['-5', '10', '0'], z: ['0.25', '0.75', '2'], solution: '[x]+[z]', margin: '0', decimals: '2' },
  // The max field of y is empty: nothing is drawn for y, the page shows "NA ".
  { statement: 'Double [x]. (The other value is [y].)',
    x: ['1', '9', '0'], y: ['1', '', '0'], solution: '[x]*2', margin: '0', decimals: 'No' },
  { statement: 'What is [x] times 3?', x: ['5', '5', '0'], solution: '[x]*3', margin: '1', decimals: '0' },
  { statement: 'A runner keeps [x] km/h. Give the speed with its unit.',
    x: ['25', '25', '0'], solution: '[x]', margin: '2', decimals: '1' },
];

// Titles whose characters mean something in an address: each page must still
// find its answer file beside it.
const ADDRESS_TITLES = [
  { name: 'title_address_marks', title: 'Quiz#3?_50%' },
  { name: 'title_cjk', title: 'Prüfung_日本' },
  { name: 'title_apostrophe', title: "It's" },
  { name: 'title_blank', title: 'a b' },
  // Read as an address, the part before ":" would be a scheme, and a leading
  // blank would be trimmed away.
  { name: 'title_colon_leading_blank', title: ' Physics: Motion' },
  { name: 'title_colon', title: 'Test:1' },
];
const ADDRESS_PROBLEM = { statement: 'What is [x] plus 7?', x: ['1', '9', '0'], solution: '[x]+7', margin: '0', decimals: '0' };

// mailto: tests whose titles mean something in an address or are not ASCII.
const MAILTO_TITLES = [
  { name: 'mailto_marks', title: 'Quiz #3 & C++ at 50%?' },
  { name: 'mailto_umlaut', title: 'Übung' },
];
const MAILTO_PROBLEMS = [
  { statement: 'What is [x] plus 1?', x: ['1', '9', '0'], solution: '[x]+1', margin: '0', decimals: '0' },
  { statement: 'What is [x] times 3?', x: ['2', '2', '0'], solution: '[x]*3', margin: '0', decimals: '0' },
];

const UNICODE_STATEMENT = 'Ein Würfel hat die Kantenlänge [x] cm. Wie groß ist sein Volumen in cm³?';

function scenarios(recorder) {
  return [
    { name: 'cgi', title: 'Kinematics', pref: recorder.endpoint, problems: KINEMATICS },
    // The two problems of the grade example: 4 drawn, answer 8; 3 and 5 drawn, answer 15.
    { name: 'mailto', title: 'Quiz7', click: 'mailto', address: 'teacher@example.org',
      problems: [
        { statement: 'What is [x] times 2?', x: ['4', '4', '0'], solution: '[x]*2', margin: '0', decimals: '0' },
        { statement: 'What is [x] times [y]?', x: ['3', '3', '0'], y: ['5', '5', '0'],
          solution: '[x]*[y]', margin: '1', decimals: '0' },
      ] },
    { name: 'apostrophe_mailto', title: "Newton's", prefe: "o'brien@example.org",
      problems: [{ statement: 'What is [x] plus 1?', x: ['1', '9', '0'], solution: '[x]+1', margin: '0', decimals: '0' }] },
    { name: 'apostrophe_cgi', title: "Newton's", pref: recorder.endpoint,
      problems: [{ statement: 'What is [x] plus 1?', x: ['1', '9', '0'], solution: '[x]+1', margin: '0', decimals: '0' }] },
    { name: 'unicode', title: 'Würfel',
      problems: [{ statement: UNICODE_STATEMENT, x: ['2', '6', '0'], solution: '[x]*[x]*[x]', margin: '0', decimals: '0' }] },
    // CGI chosen in the window, the host typed over the editor's selection.
    { name: 'single', title: 'OneProblem', click: 'cgi', address: new URL(recorder.origin).host,
      problems: [{ statement: 'What is [x] squared?', x: ['2', '9', '0'], solution: '[x]*[x]', margin: '0', decimals: '0' }] },
    ...ADDRESS_TITLES.map(({ name, title }) => ({ name, title, problems: [ADDRESS_PROBLEM] })),
    ...MAILTO_TITLES.map(({ name, title }) => ({
      name, title, click: 'mailto', address: 'teacher@example.org', problems: MAILTO_PROBLEMS })),
  ];
}

let work, out, site, recorder, browser;

before(async () => {
  work = workFolder('page');
  recorder = await startRecorder();
  out = buildScenarios(scenarios(recorder), work);
  // A page that opens a window while it loads, without a click.
  writeFileSync(path.join(out, 'opens-window.html'),
    "<html><body><script>window.opened = window.open('about:blank', 'unasked');</script></body></html>");
  site = await startStaticServer(out);
  browser = await launchBrowser(work);
});

after(async () => {
  await closeBrowser(browser);
  await stopServer(site);
  await stopServer(recorder);
});

// No window may log a script error, whatever the test did.
afterEach(async () => {
  await closeWindows(browser);
  const errors = browser.log.errors.splice(0);
  browser.log.dialogs.splice(0);
  assert.deepEqual(errors, [], 'script errors were logged');
  assert.deepEqual(await browser.mail.take(0), [], 'no address was handed to the mail program unasked');
});

const urlOf = (scenario, title) => `${site.origin}/${encodeURIComponent(scenario)}/${encodeURIComponent(title)}.html`;
const fileOf = (scenario, name) => path.join(out, scenario, name);
const answerScript = (scenario, title) => readFileSync(fileOf(scenario, `${title}.js`), 'utf8');

function decimalsOf(v) {
  const s = String(v);
  return s.includes('.') ? s.length - s.indexOf('.') - 1 : 0;
}

function assertDrawn(value, [min, max, dec], what) {
  assert.equal(typeof value, 'number', `${what} is drawn`);
  const lo = Math.min(Number(min), Number(max));
  const hi = Math.max(Number(min), Number(max));
  assert.ok(value >= lo && value <= hi, `${what} = ${value} lies in [${lo}, ${hi}]`);
  assert.ok(decimalsOf(value) <= Number(dec), `${what} = ${value} has at most ${dec} decimals`);
}

describe('CGI delivery: a test of six problems', () => {
  const title = 'Kinematics';

  it('draws every value within its range at its decimals on every load, anew each time', async () => {
    const student = await new Student(browser, urlOf('cgi', title)).open();
    const seen = { x1: new Set(), y1: new Set(), x3: new Set(), z3: new Set() };
    for (let load = 0; load < 40; ++load) {
      if (load > 0) await student.newProblems();
      const d = await student.drawn();
      assert.equal(d.ck, '1', '"New Problems" allows a new grading');
      assertDrawn(d.x[1], KINEMATICS[0].x, 'x[1]');
      assertDrawn(d.y[1], KINEMATICS[0].y, 'y[1]');
      assertDrawn(d.y[2], KINEMATICS[1].y, 'y[2]');
      assertDrawn(d.x[3], KINEMATICS[2].x, 'x[3]');
      assertDrawn(d.z[3], KINEMATICS[2].z, 'z[3]');
      assertDrawn(d.x[4], KINEMATICS[3].x, 'x[4]');
      assert.equal(d.x[5], 5);
      assert.equal(d.x[6], 25);
      // Not drawn: the chained x of problem 2, y of problem 4 (empty max).
      assert.equal(d.x[2], 'NA ');
      assert.equal(d.y[4], 'NA ');
      seen.x1.add(d.x[1]); seen.y1.add(d.y[1]); seen.x3.add(d.x[3]); seen.z3.add(d.z[3]);
      // The statement shows the values drawn.
      const body = await textOf(student.page);
      assert.ok(body.includes(`A car covers ${d.x[1]} km in ${d.y[1]} h.`), body);
      assert.ok(body.includes(`At night it was ${d.x[3]} degrees; by noon it rose by ${d.z[3]} degrees.`));
      assert.ok(body.includes('Double ' + d.x[4] + '. (The other value is NA .)'));
    }
    for (const [k, values] of Object.entries(seen)) assert.ok(values.size >= 5, `${k} took ${values.size} values in 40 loads`);
    assert.ok([...seen.x3].some((v) => v < 0), 'the negative part of x[3]\'s range is drawn');
    await student.close();
  });

  it('computes the answers from the answer file on the values drawn; the page holds no answer', async () => {
    const script = answerScript('cgi', title);
    assert.equal(script, 'a[1]=Math.round(eval(x[1]/y[1])*Math.pow(10,1))/Math.pow(10,1);' +
      'a[2]=x[1]*y[2];' +
      'a[3]=Math.round(eval(x[3]+z[3])*Math.pow(10,2))/Math.pow(10,2);' +
      'a[4]=x[4]*2;' +
      'a[5]=Math.round(eval(x[5]*3)*Math.pow(10,0))/Math.pow(10,0);' +
      'a[6]=Math.round(eval(x[6])*Math.pow(10,1))/Math.pow(10,1);');
    const page = readFileSync(fileOf('cgi', `${title}.html`), 'latin1');
    assert.doesNotMatch(page, /(^|[^\w])a\[\d+\]=/, 'the page assigns no answer itself');
    assert.ok(page.includes("src='Kinematics.js'"));
    // The negative minimum reaches the page as a subtraction of -5.
    assert.ok(page.includes('x[3]=Math.round(((10+5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);'));
    assert.ok(!page.includes('y[4]='), 'nothing is drawn for an empty max field');

    const student = await new Student(browser, urlOf('cgi', title)).open();
    for (let load = 0; load < 10; ++load) {
      if (load > 0) await student.newProblems();
      const d = await student.drawn();
      const expected = answersFor(script, d);
      for (let n = 1; n <= 6; ++n) assert.equal(d.a[n], expected[n], `a[${n}]`);
      assert.equal(d.a[1], Math.round((d.x[1] / d.y[1]) * 10) / 10, 'rounded to one decimal');
      assert.equal(d.a[2], d.x[1] * d.y[2], 'chained: problem 1\'s x, not rounded');
      assert.equal(d.a[3], Math.round((d.x[3] + d.z[3]) * 100) / 100);
      assert.equal(d.a[4], d.x[4] * 2);
      assert.equal(d.a[5], 15);
      assert.equal(d.a[6], 25);
    }
    await student.close();
  });

  it('grades relative to the answer, the margin included; the results window reports every problem', async () => {
    const student = await new Student(browser, urlOf('cgi', title)).open();
    const rounds = [
      // [answers typed for problems 1..6], the states expected
      { typed: (d) => [String(d.a[1]), String(d.a[2]), '', 'abc', '14.85', '24.5 km/h'],
        states: ['correct', 'correct', 'incorrect', 'incorrect', 'correct', 'correct'] },
      { typed: (d) => [String(d.a[1] * 1.02), String(d.a[2] * 0.99), String(d.a[3]), String(d.a[4]), '15.15', '24.4'],
        states: ['correct', 'correct', 'correct', 'correct', 'correct', 'incorrect'] },
      { typed: (d) => [String(d.a[1] * 1.021), String(d.a[2] * 0.989), String(d.a[3] + 0.01), 'x' + d.a[4], '14.849', '25.6'],
        states: ['incorrect', 'incorrect', 'incorrect', 'incorrect', 'incorrect', 'incorrect'] },
      { typed: () => ['', '', '', '', '15.151', '25.5 km/h'],
        states: ['incorrect', 'incorrect', 'incorrect', 'incorrect', 'incorrect', 'correct'] },
    ];
    for (const [i, round] of rounds.entries()) {
      if (i > 0) await student.newProblems();
      const drawn = await student.drawn();
      const typed = round.typed(drawn);
      for (let n = 1; n <= 6; ++n) await student.answer(n, typed[n - 1]);
      const results = await resultsOf(await student.grade());
      const d = await student.drawn();
      assert.equal(d.ck, '2');
      assert.deepEqual(d.ag.slice(1, 7), round.states, `round ${i + 1}: ${typed.join(' | ')}`);
      assert.deepEqual(d.b.slice(1, 7), typed);
      const correct = round.states.filter((s) => s === 'correct').length;
      const grade = Math.round((correct * 100) / 6);
      assert.deepEqual(results.paragraphs, [1, 2, 3, 4, 5, 6].map((n) => paragraph(n, d)));
      assert.ok(results.text.includes(`Your Grade: ${grade}`), results.text);
      assert.ok(results.text.includes('Results Reporter:'));
    }
    // A problem whose values are fixed reads exactly so.
    const last = await student.drawn();
    assert.equal(paragraph(6, last),
      'Problem 6 is correct.  The correct answer is 25. Your answer is 25.5 km/h. The variables (x,y,z) for this problem were (25, NA , NA ).');

    // Pressed again before "New Problems": refused with the alert.
    const dialogs = await student.gradeExpectingAlert();
    assert.deepEqual(dialogs, [{ type: 'alert', message: "You must use the 'New Problems' button first" }]);
    await student.close();
  });

  it('sends the results form to the form-mail script only with a name, with exactly its fields', async () => {
    const student = await new Student(browser, urlOf('cgi', title)).open();
    const d0 = await student.drawn();
    const typed = [String(d0.a[1]), String(d0.a[2]), '7', '', '15', '24.5 km/h'];
    for (let n = 1; n <= 6; ++n) await student.answer(n, typed[n - 1]);
    const popup = await student.grade();
    const d = await student.drawn();
    const grade = Math.round((d.g.slice(1, 7).filter((v) => v === '1').length * 100) / 6);

    // No name: an alert, and nothing is sent.
    await fill(popup, 'input[name=instructor]', 'teacher@example.org');
    await press(popup, "input[value='E-Mail Results']");
    assert.deepEqual(await takeDialogs(browser.log), [{ type: 'alert', message: 'Please Enter Your Name' }]);
    await sleep(200);
    assert.equal(recorder.posts.length, 0);

    await fill(popup, 'input[name=fullname]', 'Ada Student');
    await fill(popup, 'input[name=passWd]', 's3cret');
    await fill(popup, 'input[name=class]', 'P1');
    await fill(popup, 'input[name=email]', 'ada@example.com');
    await clickAndWaitForLoad(popup, "input[value='E-Mail Results']");
    assert.equal(popup.url(), recorder.endpoint);
    assert.equal(recorder.posts.length, 1);
    const post = recorder.posts.splice(0)[0];
    assert.equal(post.contentType, 'application/x-www-form-urlencoded');
    const fields = post.fields;
    assert.deepEqual(fields.map(([k]) => k), ['send_to', 'subject', 'field_order', 'grade', 'quesgrades', 'referrer',
      'date', 'fullname', 'passWd', 'class', 'email', 'instructor']);
    const f = Object.fromEntries(fields);
    assert.equal(f.send_to, 'teacher@example.org', 'send_to is the instructor field');
    assert.equal(f.subject, title);
    assert.equal(f.field_order, 'subject,fullname,passWd,class,grade,quesgrades,date,referrer');
    assert.equal(f.grade, String(grade));
    assert.equal(f.referrer, urlOf('cgi', title));
    assert.ok(!Number.isNaN(Date.parse(f.date)), `date "${f.date}"`);
    assert.equal(f.fullname, 'Ada Student');
    assert.equal(f.passWd, 's3cret');
    assert.equal(f.class, 'P1');
    assert.equal(f.email, 'ada@example.com');
    const lines = f.quesgrades.split('\r\n');
    assert.equal(lines[0], '');
    assert.equal(lines.length, 7, 'one line per problem');
    for (let n = 1; n <= 6; ++n) {
      const tail = n === 6 ? ' ' : '';
      assert.equal(lines[n], `Problem ${n} is ${d.ag[n]}.\t The correct answer is ${d.a[n]}.\tThe student answer is ${d.b[n]}.` +
        `\t The variables (x,y,z) for this problem were (${d.x[n]}, ${d.y[n]}, ${d.z[n]}).${tail}`);
    }

    // The results window now shows the other origin's reply. Graded again
    // after "New Problems", the new results appear all the same.
    await student.newProblems();
    const again = await student.drawn();
    for (let n = 1; n <= 6; ++n) await student.answer(n, String(again.a[n]));
    const second = await resultsOf(await student.grade());
    const graded = await student.drawn();
    assert.deepEqual(graded.ag.slice(1, 7), Array(6).fill('correct'));
    assert.ok(second.text.includes('Your Grade: 100'), second.text);
    assert.deepEqual(second.paragraphs, [1, 2, 3, 4, 5, 6].map((n) => paragraph(n, graded)));
    await student.close();
  });
});

describe('mailto: delivery: the two-problem example', () => {
  const title = 'Quiz7';

  it('shows the example\'s results and grade', async () => {
    const student = await new Student(browser, urlOf('mailto', title)).open();
    await student.answer(1, '8');
    await student.answer(2, '14');
    const results = await resultsOf(await student.grade());
    assert.deepEqual(results.paragraphs, [
      'Problem 1 is correct.  The correct answer is 8. Your answer is 8. The variables (x,y,z) for this problem were (4, NA , NA ).',
      'Problem 2 is incorrect.  The correct answer is 15. Your answer is 14. The variables (x,y,z) for this problem were (3, 5, NA ).',
    ]);
    assert.ok(results.text.includes('Your Grade: 50'));
    const dialogs = await student.gradeExpectingAlert();
    assert.deepEqual(dialogs, [{ type: 'alert', message: "You must use the 'New Problems' button first" }]);
    await student.close();
  });

  it('hands the results to the mail program, addressed to the teacher with the title as subject, only with a name', async () => {
    const student = await new Student(browser, urlOf('mailto', title)).open();
    await student.answer(1, '8');
    await student.answer(2, '15');
    const popup = await student.grade();

    await press(popup, "input[value='E-Mail Results']");
    assert.deepEqual(await takeDialogs(browser.log), [{ type: 'alert', message: 'Please fill in your name' }]);
    assert.equal(await actionOf(popup), 'mailto:teacher@example.org?subject=Quiz7');
    await sleep(300);
    assert.deepEqual(await browser.mail.take(0), [], 'nothing is handed over without a name');

    await fill(popup, 'input[name=fullname]', 'Ada Student');
    await fill(popup, 'input[name=class]', 'P1');
    const date = await popup.$eval('input[name=date]', (e) => e.value);
    assert.ok(!Number.isNaN(Date.parse(date)), `date "${date}"`);
    const mail = await emailResults(popup);
    assert.equal(mail.to, 'teacher@example.org');
    assert.equal(mail.subject, title);
    assertBody(mail.body, [
      ['send_to', ''], ['subject', title], ['grade', '100'],
      ['quesgrades',
        '\r\nProblem 1 is correct.\t The correct answer is 8.\tThe student answer is 8.\t The variables (x,y,z) for this problem were (4, NA , NA ).' +
        '\r\nProblem 2 is correct.\t The correct answer is 15.\tThe student answer is 15.\t The variables (x,y,z) for this problem were (3, 5, NA ). '],
      ['referrer', urlOf('mailto', title)], ['date', date],
      ['fullname', 'Ada Student'], ['class', 'P1'], ['PWorID', ''], ['instructor', 'teacher@example.org'],
    ]);
    await student.close();
  });
});

describe('mailto: titles that mean something in an address, and non-ASCII titles', () => {
  for (const { name, title } of MAILTO_TITLES) {
    it(`"${title}": the subject is the title and the body the whole report`, async () => {
      const student = await new Student(browser, urlOf(name, title)).open();
      const d = await student.drawn();
      assert.equal(d.a[1], d.x[1] + 1, 'the answer file is found');
      await student.answer(1, String(d.a[1]));
      await student.answer(2, 'none');
      const popup = await student.grade();
      await fill(popup, 'input[name=fullname]', 'Zoë Student');
      const date = await popup.$eval('input[name=date]', (e) => e.value);
      const mail = await emailResults(popup);
      assert.equal(await actionOf(popup), `mailto:teacher@example.org?subject=${encodeURIComponent(title)}`);
      assert.equal(mail.to, 'teacher@example.org');
      assert.equal(mail.subject, title);
      assertBody(mail.body, [
        ['send_to', ''], ['subject', title], ['grade', '50'],
        ['quesgrades',
          `\r\nProblem 1 is correct.\t The correct answer is ${d.a[1]}.\tThe student answer is ${d.a[1]}.\t ` +
          `The variables (x,y,z) for this problem were (${d.x[1]}, NA , NA ).` +
          '\r\nProblem 2 is incorrect.\t The correct answer is 6.\tThe student answer is none.\t ' +
          'The variables (x,y,z) for this problem were (2, NA , NA ). '],
        ['referrer', urlOf(name, title)], ['date', date],
        ['fullname', 'Zoë Student'], ['class', ''], ['PWorID', ''], ['instructor', 'teacher@example.org'],
      ]);
      await student.close();
    });
  }
});

// The results form's action, as mailit set it.
const actionOf = (popup) => popup.evaluate(() => document.forms[0].getAttribute('action'));

// Presses "E-Mail Results" and reads the one address that the browser hands
// to the mail program as RFC 6068 says: the recipient before "?", then
// header fields split at "&", each name and value percent-decoded as UTF-8
// ("+" stands for itself). Besides subject and body Firefox asks for plain
// text, and adds nothing else.
async function emailResults(popup) {
  await press(popup, "input[value='E-Mail Results']");
  const handed = await browser.mail.take(1);
  assert.equal(handed.length, 1, 'one address is handed to the mail program');
  const [address] = handed;
  assert.match(address, /^mailto:/);
  assert.ok(!address.includes('#'), `the address has no fragment: ${address}`);
  const rest = address.slice('mailto:'.length);
  const query = rest.indexOf('?');
  assert.ok(query > 0, address);
  const fields = rest.slice(query + 1).split('&').map((field) => {
    const eq = field.indexOf('=');
    return [decodeURIComponent(field.slice(0, eq)), decodeURIComponent(field.slice(eq + 1))];
  });
  const names = fields.map(([k]) => k).filter((k) => k !== 'force-plain-text');
  assert.deepEqual(names, ['subject', 'body'], address);
  assert.deepEqual(browser.log.dialogs, []);
  return { to: decodeURIComponent(rest.slice(0, query)), ...Object.fromEntries(fields) };
}

// The body of a mail that a form sends as plain text: "name=value" and a
// line break for each of its fields, in order. Firefox hands it over so.
// Chromium's body reads "&" in the form's text as a line break, "+" as a
// blank and "%xx" as the character it stands for, garbles letters beyond
// ASCII and adds a line break at the end: there, every field free of those
// must come through as it is, in order (the grade and the problem lines
// always are).
function assertBody(body, fields) {
  const line = ([k, v]) => `${k}=${v}\r\n`;
  if (ENGINE !== 'chromium') {
    assert.equal(body, fields.map(line).join(''));
    return;
  }
  let from = 0;
  for (const field of fields) {
    if (/[&+%]|[^\x00-\x7f]/.test(line(field))) continue;
    const at = body.indexOf(line(field), from);
    assert.ok(at >= from && (at === 0 || body.startsWith('\r\n', at - 2)), `the body holds ${JSON.stringify(line(field))} in order:\n${body}`);
    from = at + line(field).length;
  }
}

describe('a title and an e-mail address with an apostrophe', () => {
  const title = "Newton's";

  it('mailto: the page works and addresses the results as written', async () => {
    const student = await new Student(browser, urlOf('apostrophe_mailto', title)).open();
    assert.equal(await student.page.title(), title);
    assert.ok((await textOf(student.page)).includes(`${title}\nPractice Problems`));
    const d = await student.drawn();
    assert.equal(d.a[1], d.x[1] + 1, 'the answer file is found');
    await student.answer(1, String(d.a[1]));
    const popup = await student.grade();
    assert.ok((await resultsOf(popup)).text.includes('Your Grade: 100'));
    await fill(popup, 'input[name=fullname]', "Ada O'Neil");
    const mail = await emailResults(popup);
    assert.equal(await actionOf(popup), "mailto:o'brien@example.org?subject=Newton's");
    assert.equal(mail.to, "o'brien@example.org");
    assert.equal(mail.subject, title);
    assert.ok(mail.body.startsWith(`send_to=\r\nsubject=${title}\r\ngrade=100\r\n`), mail.body);
    assert.ok(mail.body.includes("\r\nfullname=Ada O'Neil\r\n"), mail.body);
    await student.close();
  });

  it('CGI: the form-mail script receives the title as written', async () => {
    const student = await new Student(browser, urlOf('apostrophe_cgi', title)).open();
    const d = await student.drawn();
    await student.answer(1, String(d.a[1]));
    const popup = await student.grade();
    await fill(popup, 'input[name=fullname]', 'Ada');
    await clickAndWaitForLoad(popup, "input[value='E-Mail Results']");
    assert.equal(popup.url(), recorder.endpoint);
    const [post] = recorder.posts.splice(0);
    assert.equal(Object.fromEntries(post.fields).subject, title);
    assert.equal(Object.fromEntries(post.fields).grade, '100');
    await student.close();
  });
});

describe('a statement and a title with non-ASCII text', () => {
  const title = 'Würfel';

  async function takeAt(url) {
    const student = await new Student(browser, url).open();
    assert.equal(await student.page.title(), title);
    const d = await student.drawn();
    const body = await textOf(student.page);
    assert.ok(body.includes(UNICODE_STATEMENT.replace('[x]', String(d.x[1]))), body);
    assert.ok(body.includes(`${title}\nPractice Problems`));
    assert.equal(d.a[1], d.x[1] ** 3, 'the answer file is found and read');
    await student.answer(1, String(d.a[1]));
    assert.ok((await resultsOf(await student.grade())).text.includes('Your Grade: 100'));
    await student.close();
  }

  it('reads right when served without a charset', async () => {
    await takeAt(urlOf('unicode', title));
  });

  it('reads right when opened from disk', async () => {
    await takeAt(pathToFileURL(fileOf('unicode', `${title}.html`)).href);
  });
});

describe('a test of one problem', () => {
  it('keeps the page and the answer when Enter is pressed in the answer box', async () => {
    const student = await new Student(browser, urlOf('single', 'OneProblem')).open();
    const before = await student.drawn();
    const navigations = student.navigations;
    await student.answer(1, String(before.a[1]));
    await student.page.bringToFront();
    await student.page.focus('input[name=b1]');
    await student.page.keyboard.press('Enter');
    await sleep(500);
    assert.equal(student.navigations, navigations, 'no navigation');
    assert.equal(await student.page.$eval('input[name=b1]', (e) => e.value), String(before.a[1]));
    assert.deepEqual((await student.drawn()).x, before.x);
    const popup = await student.grade();
    assert.ok((await resultsOf(popup)).text.includes('Your Grade: 100'));
    // The CGI address typed into the editor reaches the results form.
    assert.equal(await popup.evaluate(() => document.forms[0].getAttribute('action')), recorder.endpoint);
    await student.close();
  });
});

describe('titles with address characters, non-ASCII text, an apostrophe or a blank', () => {
  it('writes the answer file\'s address with "%", "#", "?", ":" and leading blanks escaped', () => {
    const page = readFileSync(fileOf('title_address_marks', 'Quiz#3?_50%.html'), 'utf8');
    assert.ok(page.includes("src='Quiz%233%3F_50%25.js'"), 'the script include escapes the address');
    assert.ok(page.startsWith('<html><head><title>Quiz#3?_50%</title>'), 'the title itself stands as typed');
    const physics = readFileSync(fileOf('title_colon_leading_blank', ' Physics: Motion.html'), 'utf8');
    assert.ok(physics.includes("src='%20Physics%3A Motion.js'"), 'the script include escapes ":" and the leading blank');
    assert.ok(physics.startsWith('<html><head><title> Physics: Motion</title>'), 'the title itself stands as typed');
  });

  for (const { name, title } of ADDRESS_TITLES) {
    it(`"${title}": the page loads its answers and grades a right answer correct`, async () => {
      site.requested.splice(0);
      const student = await new Student(browser, urlOf(name, title)).open();
      // A browser shows a title without blanks at its ends.
      assert.equal(await student.page.title(), title.trim());
      assert.ok(site.requested.includes(`/${name}/${title}.js`), `${title}.js is requested: ${site.requested.join(', ')}`);
      const d = await student.drawn();
      assert.equal(d.a[1], d.x[1] + 7, 'the answer file is found and read');
      await student.answer(1, String(d.a[1]));
      const results = await resultsOf(await student.grade());
      assert.equal((await student.drawn()).ag[1], 'correct');
      assert.ok(results.text.includes('Your Grade: 100'), results.text);
      await student.close();
    });
  }

  it('includes exactly <title>.js, as the browser reads the address, for thousands of random titles', async () => {
    const seed = Number(process.env.QUILLORY_TITLE_SEED) || Date.now() % 2 ** 31;
    const titles = randomTitles(4000, seed);
    const lines = includeLinesFor(titles, work);
    assert.equal(lines.length, titles.length);
    const page = await browser.browser.newPage();
    // Each line as the browser's HTML parser reads it, then its script's
    // address resolved against a page in /dir/ by the browser's URL parser.
    const read = await page.evaluate((all) => all.map((line) => {
      const scripts = new DOMParser().parseFromString(line, 'text/html').querySelectorAll('script[src]');
      if (scripts.length !== 1) return { scripts: scripts.length };
      const url = new URL(scripts[0].getAttribute('src'), 'http://host/dir/');
      let path;
      try {
        path = decodeURIComponent(url.pathname);
      } catch (e) {
        path = `undecodable ${url.pathname}`;
      }
      return { scripts: 1, origin: url.origin, path, search: url.search, hash: url.hash };
    }), lines);
    const wrong = [];
    for (const [i, title] of titles.entries()) {
      const want = { scripts: 1, origin: 'http://host', path: `/dir/${title}.js`, search: '', hash: '' };
      if (JSON.stringify(read[i]) !== JSON.stringify(want)) wrong.push({ title, line: lines[i], read: read[i] });
    }
    assert.deepEqual(wrong.slice(0, 5), [], `${wrong.length} of ${titles.length} titles (seed ${seed}) miss their answer file`);
  });
});

describe('the browser as a student has it', () => {
  it('blocks a window that a page opens without a click', async () => {
    const before = (await browser.browser.pages()).length;
    const page = await browser.browser.newPage();
    await page.goto(`${site.origin}/opens-window.html`, { waitUntil: 'load' });
    await sleep(300);
    assert.equal(await page.evaluate(() => window.opened === null), true, 'window.open gives no window');
    assert.equal((await browser.browser.pages()).length, before + 1, 'no window besides the page');
  });
});

// Random titles that "Done" accepts: 1 to 30 pieces, each a printable ASCII
// character (one of the marks % # ? : or a blank more often than the rest), a
// letter beyond ASCII or an emoji; some shaped like "scheme:rest", some with
// blanks at either end. Not "/" or "\", which cannot name a file, nor a
// control character; not "." or "..", and short enough for the file name.
function randomTitles(count, seed) {
  let state = seed >>> 0;
  const random = () => {  // mulberry32
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
  const pick = (list) => list[Math.floor(random() * list.length)];
  const ascii = [];
  for (let c = 0x20; c < 0x7f; ++c) if (c !== 0x2f && c !== 0x5c) ascii.push(String.fromCharCode(c));
  const marks = ['%', '#', '?', ':', ' ', '%2F', '%3A', '&', "'", '"', '<', '>'];
  const letters = [...'éßÜøŁñİжЖλΩعש日本한กﬁ'];
  const emoji = ['😀', '🧪', '👩‍🔬', '🇩🇪', '❤️', '🏳️‍🌈', '𝔸'];
  const piece = () => {
    const r = random();
    return r < 0.55 ? pick(ascii) : r < 0.8 ? pick(marks) : r < 0.92 ? pick(letters) : pick(emoji);
  };
  const word = (n) => Array.from({ length: n }, piece).join('');
  const titles = [' Physics: Motion', 'Test:1', 'http:x', ' Lead', 'Ch 1: Speed', 'Quiz#3?_50%', ' ', '   a   ',
    'javascript:alert(1)', 'C:', 'a:b:c', '%3A', '%20x', '...', '.js', '?', '#', ':'];
  while (titles.length < count) {
    let title = random() < 0.2
      ? [...'abcdefghijklmnopqrstuvwxyz+-.0123456789'].slice(0, 1 + Math.floor(random() * 39))
        .sort(() => random() - 0.5).slice(0, 1 + Math.floor(random() * 6)).join('') + ':' + word(Math.floor(random() * 10))
      : word(1 + Math.floor(random() * 30));
    if (random() < 0.3) title = ' '.repeat(1 + Math.floor(random() * 3)) + title;
    if (random() < 0.3) title += ' '.repeat(1 + Math.floor(random() * 3));
    if (title === '.' || title === '..' || Buffer.byteLength(`${title}.html`) > 255) continue;
    titles.push(title);
  }
  return titles;
}
