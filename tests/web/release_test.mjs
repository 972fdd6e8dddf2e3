// The test of tools/webrelease: the demo released from a copy of its folder
// holds the player, the compiled game and the pictures; its index.html,
// served as it is, plays the demo with no query and shows its pictures. A
// second release replaces the first; a game that is not there or does not
// compile writes nothing.
// Usage: node release_test.mjs WEB_BUILD TTYRUNNER WEBRELEASE DEMO_FOLDER
// Exits 77 (skipped) when the web build, its driver or Chromium is absent.
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM, WAIT_LIMIT, browserDriver, check, finish, nextWait, startServer } from './browser_support.mjs';

const [webBuild, ttyrunner, webrelease, demoFolder] = process.argv.slice(2).map((p) => path.resolve(p));
const puppeteer = browserDriver(webBuild, [ttyrunner]);

const work = mkdtempSync(path.join(os.tmpdir(), 'tarnwick-release-'));
const release = path.join(work, 'demo-web');

function runRelease(game) {
  return spawnSync('bash', [webrelease, game], {
    cwd: work, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, TTYRUNNER: ttyrunner, TARNWICK_WEB_PLAYER: webBuild },
  });
}

let server = null;
let browser = null;
try {
  cpSync(path.join(demoFolder, 'demo.adv'), path.join(work, 'demo.adv'));
  cpSync(path.join(demoFolder, 'pictures'), path.join(work, 'pictures'), { recursive: true });
  const pictures = readdirSync(path.join(work, 'pictures')).sort();

  let run = runRelease('demo.adv');
  check('the demo is released', run.status === 0 && run.stdout.includes('Wrote demo-web/'), run.stdout + run.stderr);
  const files = existsSync(release) ? readdirSync(release).sort() : [];
  check('the release holds the player, the game and the pictures\' folder',
    files.join() === ['demo.twk', 'index.html', 'page.css', 'page.js', 'pictures', 'pictures.js', 'webrunner.js', 'webrunner.wasm'].join(), files.join());
  check('every picture is released', existsSync(path.join(release, 'pictures')) &&
    readdirSync(path.join(release, 'pictures')).sort().join() === pictures.join());
  check('the released game is the compiled demo',
    readFileSync(path.join(release, 'demo.twk')).equals(readFileSync(path.join(work, 'demo.twk'))));
  check('index.html names the game', readFileSync(path.join(release, 'index.html'), 'utf8').includes('<meta name="tarnwick-game" content="demo.twk">'));

  // Released again, the folder is replaced and nothing is left beside it.
  writeFileSync(path.join(release, 'stale.txt'), 'left from before');
  run = runRelease('demo');
  check('a second release replaces the first', run.status === 0 && !existsSync(path.join(release, 'stale.txt')) &&
    readdirSync(work).sort().join() === ['demo-web', 'demo.adv', 'demo.twk', 'pictures'].join(), readdirSync(work).join());

  for (const [what, game, setUp] of [
    ['a game that is not there', 'castle', () => {}],
    ['a source with errors', 'broken', () => writeFileSync(path.join(work, 'broken.adv'), '[Locations]\n#0,Darkness,,0\nDark.\n#x,Nowhere\n')],
  ]) {
    setUp();
    run = runRelease(game);
    check(`${what} is refused and nothing is written`, run.status === 1 && !existsSync(path.join(work, game + '-web')) &&
      run.stderr.startsWith('webrelease: '), run.stdout + run.stderr);
  }
} catch (error) {
  check('the release test runs', false, error.stack);
}

// The release served as it is plays the demo with its pictures.
try {
  if (existsSync(path.join(release, 'index.html'))) {
    const started = await startServer(release);
    server = started.server;
    browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
    const page = await browser.newPage();
    page.on('pageerror', (error) => check('no script error on the page', false, error.message));
    await page.goto(started.address, { waitUntil: 'load' });
    await nextWait(page);
    check('the released page plays the demo with no query', (await page.title()) === 'Tarnwick House', await page.title());
    await page.keyboard.press('n');
    await nextWait(page);
    await page.waitForFunction(() => document.body.dataset.picture === 'shown', { timeout: WAIT_LIMIT });
    const heading = await page.$eval('#heading', (element) => element.textContent);
    check('the first location is shown with its picture', heading === 'Garden gate', heading);
  }
} catch (error) {
  check('the released page plays', false, error.stack);
} finally {
  await browser?.close();
  server?.kill();
  rmSync(work, { recursive: true, force: true });
}
finish();
