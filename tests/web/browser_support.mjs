// What the browser tests share: the checks and their tally, the skip when the
// web build or a tool is absent, the browser driver from the web build's
// node_modules, and Python's http.server serving the web build.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

export const SKIPPED = 77;          // ctest's skip status for these tests
export const CHROMIUM = '/usr/bin/chromium';
export const WAIT_LIMIT = 60000;    // milliseconds any one step may take on a busy machine

let failures = 0;
let passes = 0;

export function check(name, condition, detail) {
  if (condition) {
    passes++;
    console.log(`PASS ${name}`);
  } else {
    failures++;
    console.log(`FAIL ${name}${detail === undefined ? '' : '\n' + detail}`);
  }
}

// Ends the test with the tally: status 1 when a check failed.
export function finish() {
  console.log(`${passes} passed, ${failures} failed`);
  process.exit(failures > 0 ? 1 : 0);
}

// Ends the test as skipped when a file it needs is absent (as failed when a
// check has failed already); else returns puppeteer-core from the web build.
export function browserDriver(webBuild, needed) {
  const driver = path.join(webBuild, 'node_modules', 'puppeteer-core');
  for (const file of [path.join(webBuild, 'webrunner.wasm'), driver, CHROMIUM, ...needed]) {
    if (!existsSync(file)) {
      console.log(`skipped: ${file} is absent (make web and scripts/setup web provide it)`);
      process.exit(failures > 0 ? 1 : SKIPPED);
    }
  }
  return createRequire(path.join(webBuild, 'package.json'))('puppeteer-core');
}

// http.server on a port the system picks; the address is read from its first line.
export function startServer(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', folder],
      { stdio: ['ignore', 'pipe', 'ignore'] });
    let heard = '';
    server.stdout.on('data', (chunk) => {
      heard += chunk;
      const found = /port (\d+)/.exec(heard);
      if (found) {
        resolve({ server: server, address: `http://127.0.0.1:${found[1]}/` });
      }
    });
    server.on('exit', () => reject(new Error('http.server stopped: ' + heard)));
  });
}

// Waits until the program waits for the player's line or key (or has ended:
// a timed pause is no such wait); returns the kind.
export async function nextWait(page) {
  await page.waitForFunction(() => ['line', 'key', 'ended'].includes(document.body.dataset.waiting), { timeout: WAIT_LIMIT });
  return page.evaluate(() => document.body.dataset.waiting);
}
