// The browser test of webrunner's files: a save outlives a reload of the page
// (IndexedDB), a save downloaded from the page restores in the native
// ttyrunner and one made by ttyrunner uploads and restores in the page, and
// a game picked from the disk or dropped on the page plays. The page is served from the web build by
// python's http.server and played in Debian's Chromium through puppeteer-core.
// Usage: node saves_test.mjs WEB_BUILD TTYRUNNER
// Exits 77 (skipped) when the web build, its driver, Chromium or ttyrunner is absent.
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM, WAIT_LIMIT, browserDriver, check, finish, nextWait, startServer } from './browser_support.mjs';

const [webBuild, ttyrunner] = process.argv.slice(2).map((p) => path.resolve(p));
const FIXTURE = new URL('questions.adv', import.meta.url);
const demoGame = path.join(webBuild, 'games', 'demo.twk');
const puppeteer = browserDriver(webBuild, [demoGame, ttyrunner]);

function pageState(page) {
  return page.evaluate(() => ({
    heading: document.getElementById('heading').textContent,
    output: document.getElementById('output').textContent,
    note: document.getElementById('file-note').textContent,
  }));
}

// Enters a command when a line is wanted, presses its first character when
// a key is, and waits for the program's next wait.
async function enter(page, line) {
  const kind = await nextWait(page);
  if (kind === 'line') {
    await page.type('#command', line);
    await page.keyboard.press('Enter');
  } else if (kind === 'key') {
    await page.keyboard.press(line[0]);
  } else {
    throw new Error(`the page waits for ${kind}, not for "${line}"`);
  }
  return nextWait(page);
}

async function play(page, lines) {
  for (const line of lines) {
    await enter(page, line);
  }
  return pageState(page);
}

// The line the game answered a command with, in the page's output.
function answerTo(output, command) {
  const start = output.lastIndexOf('>' + command + '\n') + command.length + 2;
  return output.substring(start, output.indexOf('\n', start));
}

// ttyrunner playing the demo in folder with the lines piped in; its output.
function playNative(folder, lines) {
  const run = spawnSync(ttyrunner, ['demo'], { cwd: folder, input: lines.join('\n') + '\n', encoding: 'latin1' });
  return run.stdout;
}

// Waits, at most WAIT_LIMIT, for a file the browser downloads.
async function downloaded(file) {
  for (let waited = 0; !existsSync(file) && waited < WAIT_LIMIT; waited += 100) {
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  return existsSync(file) ? readFileSync(file) : null;
}

const folder = mkdtempSync(path.join(os.tmpdir(), 'tarnwick-saves-'));
const downloads = path.join(folder, 'downloads');
const native = path.join(folder, 'native');
spawnSync('mkdir', ['-p', downloads, native]);
copyFileSync(demoGame, path.join(native, 'demo.twk'));
const QUIT = ['quit', 'y', 'n', 'n'];

const { server, address } = await startServer(webBuild);
const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  page.on('pageerror', (error) => check('no script error on the page', false, error.message));
  await page.goto(address, { waitUntil: 'load' });

  // Saved with the key on the porch, then the page loaded anew and restored.
  let state = await play(page, ['n', 'n', 'lift mat', 'take key', 'i']);
  const porch = state.heading;
  const carried = answerTo(state.output, 'i');
  check('the key is carried on the porch', carried.includes('brass key'), carried);
  state = await play(page, ['save', '1']);
  check('the game is saved in position 1', state.output.includes('Save in which position (1-9)? 1\n'));
  await page.reload({ waitUntil: 'load' });
  state = await play(page, ['y', '1', 'i']);
  check('after a reload the save restores', state.heading === porch && answerTo(state.output, 'i') === carried,
    state.heading + ' / ' + answerTo(state.output, 'i'));

  // Position 1 downloaded: the bytes the program wrote, restored by ttyrunner.
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.select('#save-position', '1');
  await page.click('#download-save');
  const bytes = await downloaded(path.join(downloads, 'demo.sv1'));
  const written = await page.evaluate(() => Array.from(Module.FS.readFile('/demo.sv1')));
  check('the download is the save file unchanged', bytes !== null && Buffer.from(written).equals(bytes));
  copyFileSync(path.join(downloads, 'demo.sv1'), path.join(native, 'demo.sv1'));
  const restored = playNative(native, ['y', '1', 'i', ...QUIT]);
  check('the downloaded save restores in ttyrunner', restored.includes(carried) && restored.includes('Restore which position (1-9)?'),
    restored);

  // A save made by ttyrunner in the kitchen, uploaded to position 2.
  playNative(native, ['n', 'n', 'lift mat', 'take key', 'unlock door', 'drop key', 'n', 'w', 'save', '2', ...QUIT]);
  check('ttyrunner saves in position 2', existsSync(path.join(native, 'demo.sv2')));
  await page.select('#save-position', '2');
  const chooser = await page.$('#upload-save');
  await chooser.uploadFile(path.join(native, 'demo.sv2'));
  await page.waitForFunction(() => document.getElementById('file-note').textContent.startsWith('Uploaded'), { timeout: WAIT_LIMIT });
  state = await play(page, ['restore', '2']);
  check('the uploaded save restores in the page', state.heading === 'Kitchen', state.heading);
  await page.reload({ waitUntil: 'load' });
  state = await play(page, ['y', '2']);
  check('the uploaded save outlives a reload', state.heading === 'Kitchen', state.heading);

  // A compiled game picked from the disk plays, and stays after a reload.
  const picker = await page.$('#game-file');
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), picker.uploadFile(demoGame)]);
  check('the picked game is played from the browser\'s storage', page.url().endsWith('?file=demo.twk'), page.url());
  state = await play(page, ['n']);
  check('the picked game plays', state.heading === 'Garden gate' && (await page.title()) === 'Tarnwick House', state.heading);
  await page.reload({ waitUntil: 'load' });
  state = await play(page, ['y', '2']);
  check('the picked game plays again after a reload, with its saves', state.heading === 'Kitchen', state.heading);

  // A source dropped on the page is compiled and played.
  const source = readFileSync(FIXTURE, 'latin1');
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.evaluate((text) => {
    const bytes = Uint8Array.from(text, (c) => c.charCodeAt(0));
    const files = new DataTransfer();
    files.items.add(new File([bytes], 'questions.adv'));
    document.getElementById('output').dispatchEvent(new DragEvent('drop', { dataTransfer: files, bubbles: true, cancelable: true }));
  }, source)]);
  state = await play(page, ['n']);
  check('the dropped source is compiled and played', page.url().endsWith('?file=questions.adv') && state.heading === 'Caffè Tarnwick',
    page.url() + ' / ' + state.heading);
  await page.close();
} finally {
  await browser.close();
  server.kill();
  rmSync(folder, { recursive: true, force: true });
}
finish();
