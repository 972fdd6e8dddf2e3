// Times webrunner in headless Chromium: from page load to the demo's first
// prompt, and a turn of the benchmark's large game in the page against the
// same commands played by the native ttyrunner, first as the page starts and
// then once the browser has optimised the program; and sizes the player, plain
// and compressed (gzip -9). Prints one JSON object.
// Usage: node web_bench.mjs WEB_BUILD TTYRUNNER GAME_FOLDER
// GAME_FOLDER holds large.twk and large.commands (bench/generate_game.py).
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { gzipSync } from 'node:zlib';

const [webBuild, ttyrunner, gameFolder] = process.argv.slice(2).map((p) => path.resolve(p));
const ROOT = new URL('../', import.meta.url);
const { CHROMIUM, startServer } = await import(new URL('tests/web/browser_support.mjs', ROOT));
const puppeteer = createRequire(path.join(webBuild, 'package.json'))('puppeteer-core');

const LOAD_RUNS = Number(process.env.LOAD_RUNS || 7);
const TURNS = Number(process.env.TURNS || 2000);         // commands of the large game played in each measure
const TURN_RUNS = Number(process.env.TURN_RUNS || 3);
// The browser compiles the program quickly and plainly first and with its
// optimising compiler once a function has run for a while, in the
// background. The first TURNS commands are timed as they come (cold), the
// next TURNS once the program has warmed up.
const GAME_PATH = '/bench/large.twk';

const MEDIA_TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The player's files, plain and compressed.
const PLAYER = ['index.html', 'page.js', 'page.css', 'pictures.js', 'webrunner.js', 'webrunner.wasm'];
const sizes = {};
for (const file of PLAYER) {
  const bytes = readFileSync(path.join(webBuild, file));
  sizes[file] = [bytes.length, gzipSync(bytes, { level: 9 }).length];
}

// The first commands of the large game: the answer to the restore question,
// then 2 * TURNS commands.
const commands = readFileSync(path.join(gameFolder, 'large.commands'), 'latin1').split('\n').slice(0, 2 * TURNS + 1);

// ttyrunner's wall time for the commands, less its time for the answer alone
// (loading the game): the least of a few runs of each.
function nativeSeconds(lines) {
  const folder = mkdtempSync(path.join(os.tmpdir(), 'tarnwick-bench-'));
  try {
    copyFileSync(path.join(gameFolder, 'large.twk'), path.join(folder, 'large.twk'));
    writeFileSync(path.join(folder, 'input'), lines.join('\n') + '\n', 'latin1');
    let best = Infinity;
    for (let run = 0; run < 5; run++) {
      const start = process.hrtime.bigint();
      spawnSync('sh', ['-c', `"$0" large < input > /dev/null`, ttyrunner], { cwd: folder });
      best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
    }
    return best;
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}
const nativeLoaded = nativeSeconds(commands.slice(0, 1));
const nativeFirst = nativeSeconds(commands.slice(0, TURNS + 1));
const nativeCold = (nativeFirst - nativeLoaded) / TURNS;
const nativeWarm = (nativeSeconds(commands) - nativeFirst) / TURNS;

const { server, address } = await startServer(webBuild);
const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
const result = { sizes };
try {
  // Load to the first prompt: the time since navigation when the program
  // first waits for the player, in a fresh page (no cache) each time.
  const loads = [];
  for (let run = 0; run < LOAD_RUNS; run++) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setCacheEnabled(false);
    await page.evaluateOnNewDocument(() => {
      new MutationObserver((changes, observer) => {
        if (document.body && document.body.dataset.waiting && !window.firstWait) {
          window.firstWait = performance.now();
          observer.disconnect();
        }
      }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-waiting'] });
    });
    await page.goto(address, { waitUntil: 'load' });
    await page.waitForFunction(() => window.firstWait, { timeout: 60000 });
    loads.push(await page.evaluate(() => window.firstWait));
    await context.close();
  }
  result.first_prompt_ms = median(loads);
  result.first_prompt_runs_ms = loads;

  // Turns: the commands are entered from within the page at each wait for a
  // line, as a player's Enter would, and the whole run is timed there.
  const turns = { cold: [], warm: [] };
  const programTurns = { cold: [], warm: [] };
  for (let run = 0; run < TURN_RUNS; run++) {
    const page = await browser.newPage();
    // The program's own share of a turn: from the moment the player's line
    // reaches it to its next wait for a line, its calls to the page included;
    // the browser lays out and paints the text after that.
    await page.evaluateOnNewDocument(() => {
      window.programSeconds = 0;
      let api;
      let resumed = 0;
      Object.defineProperty(window, 'tarnwickPage', {
        get: () => api,
        set: (value) => {
          api = value;
          const readInput = value.readInput;
          value.readInput = function (...argumentsGiven) {
            if (resumed) {
              window.programSeconds += (performance.now() - resumed) / 1000;
            }
            return readInput.apply(this, argumentsGiven).then((answer) => {
              resumed = performance.now();
              return answer;
            });
          };
        },
      });
    });
    // The page is served cross-origin isolated, as a site may serve it:
    // the browser's clock then has a resolution of microseconds, not a
    // tenth of a millisecond, which the turn's share needs.
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      const file = new URL(request.url()).pathname;
      const isolated = { 'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' };
      const body = file === GAME_PATH ? readFileSync(path.join(gameFolder, 'large.twk'))
        : readFileSync(path.join(webBuild, file === '/' ? 'index.html' : file.substring(1)));
      const type = MEDIA_TYPES[path.extname(file)] || (file === '/' ? MEDIA_TYPES['.html'] : 'application/octet-stream');
      request.respond({ status: 200, contentType: type, headers: isolated, body: body });
    });
    await page.goto(address + '?game=' + GAME_PATH.substring(1), { waitUntil: 'load' });
    await page.waitForFunction(() => document.body.dataset.waiting === 'key', { timeout: 60000 });
    await page.keyboard.press(commands[0][0]);
    await page.waitForFunction(() => document.body.dataset.waiting === 'line', { timeout: 60000 });
    // ttyrunner shows no pictures: nor does the page here, so that no fetch
    // of a picture file is timed.
    await page.evaluate(() => {
      window.tarnwickPictures.enabled = false;
      window.programSeconds = 0;
    });
    if (!await page.evaluate(() => window.crossOriginIsolated)) {
      throw new Error('the page is not cross-origin isolated: its clock is too coarse to time a turn');
    }
    for (const [part, lines] of [['cold', commands.slice(1, TURNS + 1)], ['warm', commands.slice(TURNS + 1)]]) {
      await page.evaluate(() => {
        window.programSeconds = 0;
      });
      const seconds = await page.evaluate((lines) => new Promise((resolve) => {
        const input = document.getElementById('command');
        let next = 0;
        const start = performance.now();
        const enter = () => {
          if (document.body.dataset.waiting !== 'line') {
            return;
          }
          if (next === lines.length) {
            observer.disconnect();
            resolve((performance.now() - start) / 1000);
            return;
          }
          input.value = lines[next++];
          input.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true }));
        };
        const observer = new MutationObserver(enter);
        observer.observe(document.body, { attributes: true, attributeFilter: ['data-waiting'] });
        enter();
      }), lines);
      turns[part].push(seconds / TURNS);
      programTurns[part].push(await page.evaluate(() => window.programSeconds) / TURNS);
    }
    await page.close();
  }
  result.web_turn_ms = Math.min(...turns.warm) * 1e3;
  result.program_turn_ms = Math.min(...programTurns.warm) * 1e3;
  result.native_turn_ms = nativeWarm * 1e3;
  result.cold_web_turn_ms = Math.min(...turns.cold) * 1e3;
  result.cold_program_turn_ms = Math.min(...programTurns.cold) * 1e3;
  result.cold_native_turn_ms = nativeCold * 1e3;
  result.turns = TURNS;
} finally {
  await browser.close();
  server.kill();
}
console.log(JSON.stringify(result));
