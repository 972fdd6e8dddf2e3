// The browser test of webrunner: the page served from the web build by
// python's http.server, played in Debian's Chromium (headless) through
// puppeteer-core. The demo's walkthrough is played from its input file, a
// line for a command and a key for a question, and the page's text checked;
// then questions.adv (beside this file, handed to the page in place of a
// served file) tries the questions, pauses, clear, colours and accents.
// The text of the walkthrough and of a game that draws random numbers is
// compared, command by command, with what ttyrunner shows for the same
// commands and seed.
// First, without a browser, the page's colour table is compared with the window's.
// Usage: node walkthrough_test.mjs WEB_BUILD WALKTHROUGH_INPUT TTYRUNNER RANDOM_GAME RANDOM_INPUT
// Exits 77 (skipped) when the web build, its driver or Chromium is absent.
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM, browserDriver, check, finish, nextWait, startServer } from './browser_support.mjs';

const [webBuild, inputPath, ttyrunner, randomGame, randomInput] = process.argv.slice(2).map((p) => path.resolve(p));
const FIXTURE = new URL('questions.adv', import.meta.url);
const FIXTURE_PATH = '/fixture/questions.adv';
const RANDOM_PATH = '/fixture/coin.adv';
const SEED = 7;

// The page's sixteen colours are the window's: both tables, read from their
// sources, hold the same values in the same order.
const ROOT = new URL('../../', import.meta.url);
const windowTable = readFileSync(new URL('frontend/graphic/graphic_screen.cpp', ROOT), 'utf8')
  .match(/standardColours\[STANDARD_COLOUR_COUNT\] = \{([^;]*)\};/)[1];
const windowColours = [...windowTable.matchAll(/\{(\d+), (\d+), (\d+)\}/g)]
  .map((rgb) => (Number(rgb[1]) << 16) | (Number(rgb[2]) << 8) | Number(rgb[3]));
const pageTable = readFileSync(new URL('frontend/web/web_session.cpp', ROOT), 'utf8')
  .match(/STANDARD_COLOURS\[STANDARD_COLOUR_COUNT\] = \{([^;]*)\};/)[1];
const pageColours = [...pageTable.matchAll(/0x([0-9A-F]{6})/gi)].map((hex) => parseInt(hex[1], 16));
check('the page has the window\'s sixteen colours', windowColours.length === 16 && windowColours.join() === pageColours.join(),
  windowColours.join() + '\n' + pageColours.join());

const puppeteer = browserDriver(webBuild, [path.join(webBuild, 'games', 'demo.twk'), ttyrunner]);

// The lines of an input file, without the empty one after its last line end.
function inputLines(file) {
  const lines = readFileSync(file, 'utf8').split('\n');
  if (lines[lines.length - 1] === '') {
    lines.pop();
  }
  return lines;
}

// What ttyrunner shows a player of the game file for these lines and seed:
// its transcript, without the header line, as words.
function nativeWords(gameFile, lines, seed) {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'tarnwick-web-'));
  try {
    const name = path.basename(gameFile).replace(/\..*$/, '');
    copyFileSync(gameFile, path.join(folder, path.basename(gameFile)));
    spawnSync(ttyrunner, ['--seed=' + seed, '--transcript=shown.txt', name],
      { cwd: folder, input: lines.join('\n') + '\n', encoding: 'latin1' });
    const shown = readFileSync(path.join(folder, 'shown.txt'), 'utf8');
    return shown.substring(shown.indexOf('\n') + 1).split(/\s+/).filter((word) => word !== '');
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

// The page's text per wait: segment i holds the words the program wrote to
// the output after the player's i-th answer (the echo of the line included),
// and those of the description the panel shows at the next wait (the program
// writes it only when it changes).
async function pageSegments(page) {
  const words = (text) => text.split(/\s+/).filter((word) => word !== '');
  const writes = await page.evaluate(() => window.tarnwickWrites);
  const segments = [{ output: [], description: [] }];
  for (const [area, text] of writes) {
    const segment = segments[segments.length - 1];
    if (area === 'wait') {
      segments.push({ output: [], description: segment.description });
    } else if (area === 0) {
      segment.output.push(...words(text));
    } else if (area === 3) {
      segment.description = words(text);
    }
  }
  return segments;
}

// ttyrunner shows a location's description in its text where the page draws
// it in the panel: a segment matches when ttyrunner's words are the page's
// output with, at one place or nowhere, the words of the panel drawn. Names
// the first command whose words differ.
async function checkSameWords(name, page, lines, native) {
  const same = (from, words) => words.every((word, i) => native[from + i] === word);
  let at = 0;
  const segments = await pageSegments(page);
  for (let i = 0; i < segments.length; i++) {
    const { output, description } = segments[i];
    let length = -1;
    for (let split = 0; description.length > 0 && split <= output.length && length < 0; split++) {
      if (same(at, output.slice(0, split)) && same(at + split, description) &&
          same(at + split + description.length, output.slice(split))) {
        length = output.length + description.length;
      }
    }
    if (length < 0 && same(at, output)) {
      length = output.length;
    }
    if (length < 0) {
      const after = i === 0 ? 'the start' : '"' + lines[i - 1] + '"';
      check(name, false, `after ${after}:\npage:       ${output.join(' ')}\npanel:      ${description.join(' ')}` +
        `\nttyrunner:  ${native.slice(at, at + output.length + description.length + 8).join(' ')}`);
      return;
    }
    at += length;
  }
  // ttyrunner's input ends at the prompt the page shows beside the input line.
  const prompt = await page.$eval('#prompt', (element) => element.textContent.trim());
  const rest = native.slice(at).join(' ');
  check(name, rest === '' || rest === prompt, `ttyrunner shows more: ${rest}`);
}

// The page's texts: heading, status line, description, output, input state.
function pageState(page) {
  return page.evaluate(() => ({
    heading: document.getElementById('heading').textContent,
    status: document.getElementById('status').textContent,
    description: document.getElementById('description').textContent,
    output: document.getElementById('output').textContent,
    waiting: document.body.dataset.waiting || '',
    title: document.title,
  }));
}

// Enters one line of a walkthrough: typed when a command is wanted, its
// first character (Enter for an empty line) when a key is.
async function enter(page, line) {
  const kind = await nextWait(page);
  if (kind === 'line') {
    await page.type('#command', line);
    await page.keyboard.press('Enter');
  } else if (kind === 'key') {
    await page.keyboard.press(line === '' ? 'Enter' : line[0]);
  } else {
    throw new Error(`the page waits for ${kind}, not for "${line}"`);
  }
}

// A page of the server; the fixture game is answered from this folder.
async function openPage(browser, address) {
  const page = await browser.newPage();
  // Every write of the program to an area, and every wait for the player,
  // recorded from the start for the comparison with ttyrunner.
  await page.evaluateOnNewDocument(() => {
    window.tarnwickWrites = [];
    let api;
    Object.defineProperty(window, 'tarnwickPage', {
      get: () => api,
      set: (value) => {
        api = value;
        const write = value.write;
        const waitFor = (original) => function (...answer) {
          window.tarnwickWrites.push(['wait', '']);
          return original.apply(this, answer);
        };
        value.write = function (area, text) {
          window.tarnwickWrites.push([area, text]);
          return write.call(this, area, text);
        };
        const output = value.output;
        value.output = function (echo, text) {
          window.tarnwickWrites.push([0, echo + text]);
          return output.call(this, echo, text);
        };
        value.readInput = waitFor(value.readInput);
        value.readKey = waitFor(value.readKey);
      },
    });
  });
  page.on('pageerror', (error) => check('no script error on the page', false, error.message));
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const served = new URL(request.url()).pathname;
    if (served === FIXTURE_PATH || served === RANDOM_PATH) {
      request.respond({ status: 200, contentType: 'text/plain', body: readFileSync(served === FIXTURE_PATH ? FIXTURE : randomGame) });
    } else {
      request.continue();
    }
  });
  await page.goto(address, { waitUntil: 'load' });
  return page;
}

// Types a command and waits for the program's next wait.
async function command(page, line) {
  await enter(page, line);
  return nextWait(page);
}

// Presses a key and waits for the program's next wait.
async function key(page, name) {
  await page.keyboard.press(name);
  return nextWait(page);
}

const { server, address } = await startServer(webBuild);
const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
try {
  // The whole walkthrough of the demo, from the compiled game.
  const page = await openPage(browser, address + '?seed=' + SEED);
  await nextWait(page);
  let state = await pageState(page);
  check('the game title is the page title', state.title === 'Tarnwick House', state.title);
  check('the introduction is shown', state.output.includes('TARNWICK HOUSE\nA demonstration game for the Tarnwick kit.\n\n'), state.output);
  check('the restore question waits for a key', state.waiting === 'key' && state.output.endsWith('Do you want to restore a saved game? '));
  const colours = await page.evaluate(() => [getComputedStyle(document.body).backgroundColor, getComputedStyle(document.body).color]);
  check('the default colours are black and the lightest grey', colours[0] === 'rgb(0, 0, 0)' && colours[1] === 'rgb(240, 240, 240)', colours.join(' '));

  const lines = inputLines(inputPath);
  await enter(page, lines[0]);
  await nextWait(page);
  state = await pageState(page);
  check('the location is in the heading', state.heading === 'Garden gate', state.heading);
  check('the status line substitutes the score', state.status === 'Score: 0 of 50', state.status);
  check('the description and exits are shown', state.description.startsWith('You stand at the iron gate') && state.description.endsWith('Exits: north, east.'), state.description);

  // The last line answers the play-again question.
  for (const line of lines.slice(1, -1)) {
    await enter(page, line);
  }
  await nextWait(page);
  state = await pageState(page);
  check('a command is echoed after the prompt', state.output.includes('\n>lift mat\nYou lift the doormat. Underneath lies a small brass key!\n'));
  check('the dial asks for a number, answered by a key', state.output.includes('Which number do you turn it to?\n(1:9): 3\n'));
  check('the game is saved and restored in position 1', state.output.includes('Save in which position (1-9)? 1\n') && state.output.includes('Restore which position (1-9)? 1\n'));
  check('the clock runs again', state.output.includes('BONG! (5)') && state.output.includes('You have scored 50 of 50 points in 47 turns. Thank you for playing!'), state.output.slice(-600));
  check('the last location is the clock tower', state.heading === 'Clock tower' && state.status === 'Score: 50 of 50', state.heading + ' / ' + state.status);
  check('the play-again question waits for a key', state.waiting === 'key' && state.output.endsWith('Would you like to play again? '));
  await enter(page, lines[lines.length - 1]);
  check('declining ends the session', (await nextWait(page)) === 'ended' && await page.$eval('#command', (input) => input.disabled));
  await checkSameWords('the walkthrough shows ttyrunner\'s words, command by command', page, lines,
    nativeWords(path.join(webBuild, 'games', 'demo.twk'), lines, SEED));
  await page.close();

  // A game that draws random numbers, at two seeds.
  const rolls = inputLines(randomInput);
  for (const seed of [1, 4242]) {
    const coin = await openPage(browser, address + '?game=' + RANDOM_PATH.substring(1) + '&seed=' + seed);
    for (const line of rolls) {
      await enter(coin, line);
    }
    await nextWait(coin);
    await checkSameWords(`seed ${seed} draws ttyrunner's numbers`, coin, rolls, nativeWords(randomGame, rolls, seed));
    await coin.close();
  }

  // The kit's own commands, the history and the dark, on the source.
  const source = await openPage(browser, address + '?game=games/demo.adv');
  for (const line of ['n', 'n', 'lift mat', 'take key', 'unlock door', 'drop key', 'n', 'w', 'd']) {
    await enter(source, line);
  }
  await nextWait(source);
  state = await pageState(source);
  check('the source is compiled and played in the page', state.title === 'Tarnwick House' && state.output.includes('>unlock door\n'));
  check('a dark location shows the darkness', state.heading === 'Darkness' && state.description.startsWith('It is pitch dark.'), state.heading + ' / ' + state.description);
  await enter(source, '\\undo');
  await nextWait(source);
  state = await pageState(source);
  check('\\undo takes the move back', state.heading === 'Kitchen', state.heading);
  await source.keyboard.press('ArrowUp');
  await nextWait(source);
  await source.keyboard.press('ArrowUp');
  await nextWait(source);
  const recalled = await source.$eval('#command', (input) => input.value);
  check('Up recalls the commands typed', recalled === 'd', recalled);
  await source.close();

  const fixture = await openPage(browser, address + '?game=' + FIXTURE_PATH.substring(1));
  await nextWait(fixture);
  const look = await fixture.evaluate(() => [getComputedStyle(document.body).backgroundColor, getComputedStyle(document.body).color]);
  check('BgColor and FgColor pick the standard colours', look[0] === 'rgb(32, 32, 136)' && look[1] === 'rgb(208, 208, 64)', look.join(' '));
  await key(fixture, 'n');
  state = await pageState(fixture);
  check('accented letters are shown', state.heading === 'Caffè Tarnwick' && state.description.endsWith('serves caffè.'), state.heading);
  await command(fixture, 'drink caffè');
  state = await pageState(fixture);
  check('accented letters typed find the game\'s word', state.output.endsWith('>drink caffè\nThe caffè is hot.\n\nTrès bien.\n'), state.output);
  await command(fixture, 'pull lever');
  check('a key that is no choice is passed over', (await key(fixture, 'x')) === 'key' && (await pageState(fixture)).output.endsWith('Which lever do you pull?\n(1:3): '));
  await key(fixture, '2');
  check('a digit answers the choice', (await pageState(fixture)).output.endsWith('(1:3): 2\nYou pull lever 2.\n'));
  await command(fixture, 'pull lever');
  await key(fixture, 'Escape');
  check('Escape cancels the choice', (await pageState(fixture)).output.endsWith('(1:3): \nYou leave the levers alone.\n'));
  await command(fixture, 'ask');
  await key(fixture, 'q');
  await key(fixture, 'Y');
  check('a yes/no question takes its letters in either case', (await pageState(fixture)).output.endsWith('(y/n)? Y\n"Splendid," says the robot.\n'));
  await command(fixture, 'rest');
  state = await pageState(fixture);
  check('the pause waits for a key', state.waiting === 'key' && state.output.endsWith('>rest\nYou rest.\n'), state.output);
  await key(fixture, 'Space');
  state = await pageState(fixture);
  check('a key ends the pause', state.output.endsWith('You rest.\nYou wake up.\n') && state.status === 'Rests: 1', state.status);
  await command(fixture, 'nap');
  state = await pageState(fixture);
  check('a negative pause ends by itself', state.output.endsWith('You rest.\nYou wake up.\n') && state.status === 'Rests: 2', state.status);
  await command(fixture, 'clear');
  check('cls clears the output', (await pageState(fixture)).output === '');
  await fixture.close();
} finally {
  await browser.close();
  server.kill();
}
finish();
