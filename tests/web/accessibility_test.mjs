// The accessibility test of webrunner's page: the demo played for a few
// commands in Debian's Chromium (headless) through puppeteer-core, then
// checked by axe-core, for its live regions, its keyboard use and its layout
// at a wide and a phone's width. The screenshots of both widths are written
// to OUTPUT_FOLDER as accessibility-1280x800.png and accessibility-390x844.png.
// Usage: node accessibility_test.mjs WEB_BUILD OUTPUT_FOLDER
// Exits 77 (skipped) when the web build, its node modules or Chromium is absent.
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { CHROMIUM, WAIT_LIMIT, browserDriver, check, finish, nextWait, startServer } from './browser_support.mjs';

const [webBuild, outputFolder] = process.argv.slice(2).map((p) => path.resolve(p));

const modules = path.join(webBuild, 'node_modules');
const axeScript = path.join(modules, 'axe-core', 'axe.min.js');
const puppeteer = browserDriver(webBuild, [path.join(webBuild, 'games', 'demo.twk'), axeScript]);
mkdirSync(outputFolder, { recursive: true });

// Types a command and waits for the program's next wait.
async function command(page, line) {
  await page.keyboard.type(line);
  await page.keyboard.press('Enter');
  return nextWait(page);
}

// axe-core's violations on the page as it is, one line for each element.
async function violations(page) {
  const found = await page.evaluate(async () => (await window.axe.run(document)).violations);
  return found.flatMap((rule) => rule.nodes.map((node) => `${rule.id}: ${node.target.join(' ')}: ${node.failureSummary}`));
}

// The boxes of the page's areas that are shown, in the page's order.
function areaBoxes(page) {
  return page.evaluate(() => ['picture', 'place', 'description', 'output', 'input-line']
    .map((id) => ({ id: id, box: document.getElementById(id).getBoundingClientRect() }))
    .filter((area) => area.box.height > 0)
    .map((area) => ({ id: area.id, left: area.box.left, right: area.box.right, top: area.box.top, bottom: area.box.bottom })));
}

const { server, address } = await startServer(webBuild);
const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  page.on('pageerror', (error) => check('no script error on the page', false, error.message));
  await page.setViewport({ width: 1280, height: 800 });
  await page.goto(address, { waitUntil: 'load' });

  // The restore question: Tab moves the focus (to the output, the panel
  // being empty) without answering it; back on the page, a key answers.
  check('the restore question waits for a key', (await nextWait(page)) === 'key');
  await page.keyboard.press('Tab');
  const tabbed = await page.evaluate(() => [document.activeElement.id, document.body.dataset.waiting]);
  check('Tab moves the focus while a key is awaited', tabbed[0] === 'output' && tabbed[1] === 'key', tabbed.join());
  await page.evaluate(() => document.activeElement.blur());
  await page.keyboard.press('n');
  check('the first command is awaited in the focused input', (await nextWait(page)) === 'line'
    && await page.evaluate(() => document.activeElement.id === 'command'));

  // A turn that moves, then a look: the panel is drawn anew before each
  // command, and the status region must not change when its text is the same.
  await command(page, 'n');
  const regions = await page.evaluate(() => {
    window.statusChanges = 0;
    window.outputRewrites = 0;
    new MutationObserver((records) => { window.statusChanges += records.length; })
      .observe(document.getElementById('status'), { childList: true, characterData: true, subtree: true });
    new MutationObserver((records) => {
      window.outputRewrites += records.filter((record) => record.type !== 'childList' || record.removedNodes.length > 0).length;
    }).observe(document.getElementById('output'), { childList: true, characterData: true, subtree: true });
    const output = document.getElementById('output');
    const status = document.getElementById('status');
    const live = [...document.querySelectorAll('[aria-live], [role="log"], [role="status"], [role="alert"]')].map((node) => node.id);
    return {
      output: [output.getAttribute('role'), output.getAttribute('aria-live'), output.getAttribute('aria-atomic')],
      status: status.getAttribute('role'),
      live: live,
      heading: [document.getElementById('heading').tagName, document.getElementById('heading').textContent],
    };
  });
  check('the output is a polite log, announced as it grows', regions.output[0] === 'log' && regions.output[1] === 'polite' && regions.output[2] !== 'true', regions.output.join());
  check('the status line is a status region', regions.status === 'status', regions.status);
  check('the heading and description are in no live region', regions.live.join() === 'status,output,file-note', regions.live.join());
  check('the location\'s name is a heading', regions.heading[0] === 'H1' && regions.heading[1] === 'Front porch', regions.heading.join());

  await command(page, 'look');
  const redrawn = await page.evaluate(() => [window.statusChanges, window.outputRewrites]);
  check('a redrawn panel with the same status leaves the status region alone', redrawn[0] === 0, String(redrawn[0]));

  await command(page, 'lift mat');
  const announced = await page.evaluate(() => {
    // The output's text as a screen reader has it: without aria-hidden parts.
    const walker = document.createTreeWalker(document.getElementById('output'), NodeFilter.SHOW_TEXT);
    let text = '';
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (!node.parentElement.closest('[aria-hidden="true"]')) {
        text += node.data;
      }
    }
    return { shown: document.getElementById('output').textContent, announced: text,
      outputRewrites: window.outputRewrites,
      focused: document.activeElement.id };
  });
  check('the command\'s echo is shown', announced.shown.includes('\n>lift mat\nYou lift the doormat.'), announced.shown.slice(-300));
  check('the command\'s echo is not announced, the answer is', !announced.announced.includes('lift mat')
    && announced.announced.includes('You lift the doormat.'), announced.announced.slice(-300));
  check('the output is only appended to', announced.outputRewrites === 0, String(announced.outputRewrites));
  check('the input is focused after a turn', announced.focused === 'command', announced.focused);

  // From the input line, Tab reaches every control in the page's order.
  const order = [];
  for (let i = 0; i < 4; i++) {
    await page.keyboard.press('Tab');
    order.push(await page.evaluate(() => document.activeElement.id));
  }
  check('Tab goes from the input through the file controls', order.join() === 'save-position,download-save,upload-save,game-file', order.join());
  await page.evaluate(() => document.activeElement.blur());
  await page.keyboard.type('x');
  check('a key typed elsewhere brings the focus back to the input', await page.evaluate(() => document.activeElement.id === 'command'));
  await page.evaluate(() => { document.getElementById('command').value = ''; });

  const look = await page.evaluate(() => {
    const style = getComputedStyle(document.getElementById('output'));
    return [style.fontFamily, style.userSelect];
  });
  check('the text is monospace and selectable', /monospace/.test(look[0]) && look[1] !== 'none', look.join(' / '));

  await page.addScriptTag({ path: axeScript });
  let found = await violations(page);
  check('axe-core finds no violation at 1280 x 800', found.length === 0, found.join('\n'));
  let boxes = await areaBoxes(page);
  const box = (id) => boxes.find((area) => area.id === id);
  check('wide: the heading beside the description, the output below both',
    box('place').right <= box('description').left && box('output').top >= Math.max(box('place').bottom, box('description').bottom)
    && box('input-line').top >= box('output').bottom, JSON.stringify(boxes));
  await page.screenshot({ path: path.join(outputFolder, 'accessibility-1280x800.png') });

  await page.setViewport({ width: 390, height: 844 });
  await page.waitForFunction(() => window.innerWidth === 390, { timeout: WAIT_LIMIT });
  boxes = await areaBoxes(page);
  const width = await page.evaluate(() => [document.documentElement.scrollWidth, document.documentElement.clientWidth]);
  const stacked = boxes.every((area, i) => i === 0 || boxes[i - 1].bottom <= area.top + 0.5);
  const inside = boxes.every((area) => area.left >= 0 && area.right <= 390);
  check('narrow: the areas one above the other, none wider than the screen',
    boxes.length >= 4 && stacked && inside && width[0] <= width[1], JSON.stringify(boxes) + ' ' + width.join());
  await page.waitForFunction(() => {
    const output = document.getElementById('output');
    return output.scrollTop + output.clientHeight >= output.scrollHeight - 2;
  }, { timeout: 5000 }).then(() => true, () => false).then((newest) =>
    check('narrow: the output still shows its newest text', newest));
  found = await violations(page);
  check('axe-core finds no violation at 390 x 844', found.length === 0, found.join('\n'));
  await page.screenshot({ path: path.join(outputFolder, 'accessibility-390x844.png') });
  await page.close();
} finally {
  await browser.close();
  server.kill();
}
finish();
