// The browser test of the page's pictures: the demo's first location shows
// its picture in the canvas exactly as ImageMagick's convert decodes the
// file; a picture scrambled by the native picscramble (a fixture game, handed
// to the page in place of a served file) shows as the plain one; F12 at the
// command line hides the next picture and brings the one after back.
// Usage: node pictures_test.mjs WEB_BUILD PICSCRAMBLE
// Exits 77 (skipped) when the web build, its driver, Chromium or convert is absent.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM, WAIT_LIMIT, browserDriver, check, finish, startServer } from './browser_support.mjs';

const [webBuild, picscramble] = process.argv.slice(2).map((p) => path.resolve(p));
const FIXTURE_GAME = '/fixture/scrambled.adv';
const FIXTURE_PICTURE = '/fixture/pictures/scrambled.png';

const WIDTH = 384;
const HEIGHT = 256;

const plainPicture = path.join(webBuild, 'games', 'pictures', 'gate.png');
const puppeteer = browserDriver(webBuild, [path.join(webBuild, 'games', 'demo.twk'), plainPicture, picscramble, '/usr/bin/convert']);

// The picture as 0xRRGGBB values, row by row, decoded by convert into a PPM.
function decodedPixels(file) {
  const ppm = execFileSync('convert', [file, '-depth', '8', 'ppm:-']);
  const header = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(ppm.toString('latin1', 0, 32));
  const data = ppm.subarray(header[0].length);
  const pixels = [];
  for (let i = 0; i < Number(header[1]) * Number(header[2]); i++) {
    pixels.push((data[3 * i] << 16) | (data[3 * i + 1] << 8) | data[3 * i + 2]);
  }
  return pixels;
}

// The scrambled copy of the demo's gate picture, for the fixture game.
const work = mkdtempSync(path.join(os.tmpdir(), 'tarnwick-pictures-'));
const scrambledPicture = path.join(work, 'scrambled.png');
execFileSync(picscramble, [plainPicture, scrambledPicture]);
const expected = decodedPixels(plainPicture);
check('the scrambled file differs from the plain one', !readFileSync(scrambledPicture).equals(readFileSync(plainPicture)));

const FIXTURE_SOURCE = `[System]
ImagePath=pictures
StartLocation=1

[Verbs]
#12,look

[Locations]
#0,Darkness,,0
Dark.
#1,Scrambled room,scrambled.png,0
A room whose picture is scrambled.
`;

async function openPage(browser, address) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => check('no script error on the page', false, error.message));
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const where = new URL(request.url()).pathname;
    if (where === FIXTURE_GAME) {
      request.respond({ status: 200, contentType: 'text/plain', body: FIXTURE_SOURCE });
    } else if (where === FIXTURE_PICTURE) {
      request.respond({ status: 200, contentType: 'image/png', body: readFileSync(scrambledPicture) });
    } else {
      request.continue();
    }
  });
  await page.goto(address, { waitUntil: 'load' });
  return page;
}

// Waits for the command line, answering any key wait (the demo's introduction
// and its question whether to restore) with N.
async function commandLine(page) {
  for (;;) {
    await page.waitForFunction(() => ['line', 'key', 'ended'].includes(document.body.dataset.waiting), { timeout: WAIT_LIMIT });
    const kind = await page.evaluate(() => document.body.dataset.waiting);
    if (kind !== 'key') {
      return kind;
    }
    await page.keyboard.press('n');
    await page.waitForFunction(() => document.body.dataset.waiting !== 'key', { timeout: WAIT_LIMIT });
  }
}

// Enters a command; the program has taken it once the output has grown (the
// line is echoed after the wait ends), and then waits again.
async function command(page, line) {
  const before = await page.evaluate(() => document.getElementById('output').textContent.length);
  await page.type('#command', line);
  await page.keyboard.press('Enter');
  await page.waitForFunction((length) => document.getElementById('output').textContent.length > length, { timeout: WAIT_LIMIT }, before);
  return commandLine(page);
}

// The canvas: its pixels as 0xRRGGBB and whether any pixel is drawn at all.
function canvasState(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('picture-canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const pixels = [];
    let drawn = false;
    for (let i = 0; i < data.length; i += 4) {
      pixels.push((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
      drawn = drawn || data[i + 3] !== 0;
    }
    return { width: canvas.width, height: canvas.height, pixels: pixels, drawn: drawn, hidden: document.getElementById('picture').hidden };
  });
}

// The first pixel where the canvas differs from the decoded picture, or '' when none does.
function difference(state, pixels) {
  if (state.width !== WIDTH || state.height !== HEIGHT || pixels.length !== WIDTH * HEIGHT) {
    return `sizes ${state.width}x${state.height}, ${pixels.length} decoded pixels`;
  }
  const at = pixels.findIndex((value, i) => state.pixels[i] !== value);
  return at < 0 ? '' : `(${at % WIDTH},${Math.floor(at / WIDTH)}): ${state.pixels[at].toString(16)} for ${pixels[at].toString(16)}`;
}

const { server, address } = await startServer(webBuild);
const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
try {
  const demo = await openPage(browser, address);
  check('the demo waits for a command', (await commandLine(demo)) === 'line');
  let state = await canvasState(demo);
  let differs = difference(state, expected);
  check('the first location shows its picture as decoded natively', !state.hidden && differs === '', differs);
  check('the picture is not one colour', new Set(expected).size > 1);

  await demo.keyboard.press('F12');
  check('F12 at the command line leaves the line waiting', (await demo.evaluate(() => document.body.dataset.waiting)) === 'line');
  check('the picture stays until the next one', difference(await canvasState(demo), expected) === '');
  await command(demo, 'n');
  state = await canvasState(demo);
  const heading = await demo.evaluate(() => document.getElementById('heading').textContent);
  check('with pictures off the next location leaves the area empty', heading === 'Front porch' && !state.drawn, heading);

  await demo.click('#pictures-toggle');
  await command(demo, 's');
  differs = difference(await canvasState(demo), expected);
  check('the button turns the pictures on again', differs === '', differs);
  await demo.close();

  const fixture = await openPage(browser, address + '?game=' + FIXTURE_GAME.substring(1));
  check('the fixture waits for a command', (await commandLine(fixture)) === 'line');
  differs = difference(await canvasState(fixture), expected);
  check('the scrambled picture shows as the plain one', differs === '', differs);
  await fixture.close();
} finally {
  await browser.close();
  server.kill();
  rmSync(work, { recursive: true, force: true });
}
finish();
