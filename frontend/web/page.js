// The page of webrunner: it fetches the game into the program's file system
// before the program starts, shows what the web front end writes, and
// answers its waits with the player's line or key.
// Only Module and tarnwickPage are globals: webrunner.js defines many names.
(function () {
  'use strict';

  // The page's areas by the front end's numbers. ORDER AREA: web_page.h's PageArea.
  const AREA_IDS = ['output', 'heading', 'status', 'description'];
  const AREA_OUTPUT = 0;

  // What ended a wait for a line (web_page.h's InputEvent).
  const INPUT_LINE = 0;
  const INPUT_PREVIOUS = 1;
  const INPUT_NEXT = 2;

  // pageReadKey's answers besides a character's code point (web_page.h).
  const KEY_TIME_UP = 0;
  const KEY_OTHER = -1;
  const KEY_ENTER = 13;
  const KEY_ESCAPE = 27;

  const DEFAULT_GAME = 'games/demo.twk';
  const MODIFIER_KEYS = ['Shift', 'Control', 'Alt', 'Meta', 'AltGraph', 'CapsLock', 'NumLock'];

  // The game's file in the program's file system: the name the URL gives it
  // when that is a plain NAME.twk or NAME.adv, else game.twk or game.adv.
  function gameFile(url) {
    const path = url.split(/[?#]/)[0];
    const base = path.substring(path.lastIndexOf('/') + 1);
    if (/^[A-Za-z0-9_-]+\.(twk|adv)$/i.test(base)) {
      const dot = base.indexOf('.');
      return base.substring(0, dot) + base.substring(dot).toLowerCase();
    }
    return /\.adv$/i.test(path) ? 'game.adv' : 'game.twk';
  }

  const gameUrl = new URLSearchParams(window.location.search).get('game') || DEFAULT_GAME;
  const gameName = gameFile(gameUrl);

  function element(area) {
    return document.getElementById(AREA_IDS[area]);
  }

  function appendOutput(text) {
    const output = element(AREA_OUTPUT);
    output.appendChild(document.createTextNode(text));
    output.scrollTop = output.scrollHeight;
  }

  // The one wait of the program, if any: what it waits for and how it ends.
  // The body's data-waiting names it ('line', 'key' or 'time'; 'ended' once
  // the program is over), for styles and for the browser test.
  let waiting = null;

  function beginWait(kind, resolve) {
    waiting = { kind: kind, resolve: resolve, timer: 0 };
    document.body.dataset.waiting = kind;
  }

  function finishWait(answer) {
    const wait = waiting;
    waiting = null;
    document.body.dataset.waiting = '';
    if (wait.timer) {
      clearTimeout(wait.timer);
    }
    const input = document.getElementById('command');
    input.readOnly = false;
    input.placeholder = '';
    wait.resolve(answer);
  }

  window.tarnwickPage = {
    setLook(background, foreground, title) {
      const hex = (colour) => '#' + colour.toString(16).padStart(6, '0');
      document.documentElement.style.setProperty('--background', hex(background));
      document.documentElement.style.setProperty('--foreground', hex(foreground));
      if (title) {
        document.title = title;
      }
    },

    write(area, text) {
      if (area === AREA_OUTPUT) {
        appendOutput(text);
      } else if (element(area).textContent !== text) {
        element(area).textContent = text;
      }
    },

    clear(area) {
      element(area).textContent = '';
    },

    readInput(prompt, limit) {
      document.getElementById('prompt').textContent = prompt;
      const input = document.getElementById('command');
      input.maxLength = limit;
      input.disabled = false;
      input.focus();
      return new Promise((resolve) => {
        beginWait('line', resolve);
      });
    },

    setInput(text) {
      const input = document.getElementById('command');
      input.value = text;
      input.setSelectionRange(text.length, text.length);
    },

    // The prompt goes while a key is awaited: the question is in the output.
    readKey(milliseconds, keys) {
      document.getElementById('prompt').textContent = '';
      const input = document.getElementById('command');
      input.readOnly = true;
      input.placeholder = keys ? '(press a key)' : '';
      return new Promise((resolve) => {
        beginWait(keys ? 'key' : 'time', resolve);
        if (milliseconds > 0) {
          waiting.timer = setTimeout(() => finishWait(KEY_TIME_UP), milliseconds);
        }
      });
    },

    end() {
      const input = document.getElementById('command');
      input.disabled = true;
      input.placeholder = 'The game has ended.';
      document.getElementById('prompt').textContent = '';
      document.body.dataset.waiting = 'ended';
    },
  };

  // What a key answers a question or a pause with.
  function keyAnswer(event) {
    if (event.key === 'Enter') {
      return KEY_ENTER;
    }
    if (event.key === 'Escape') {
      return KEY_ESCAPE;
    }
    if ([...event.key].length === 1) {
      return event.key.codePointAt(0);
    }
    return KEY_OTHER;
  }

  document.addEventListener('keydown', (event) => {
    if (!waiting || event.ctrlKey || event.altKey || event.metaKey || MODIFIER_KEYS.includes(event.key)) {
      return;
    }
    if (waiting.kind === 'line') {
      const input = document.getElementById('command');
      if (event.key === 'Enter') {
        const line = input.value;
        input.value = '';
        finishWait({ event: INPUT_LINE, line: line });
      } else if (event.key === 'ArrowUp' || event.key === 'ArrowDown') {
        finishWait({ event: event.key === 'ArrowUp' ? INPUT_PREVIOUS : INPUT_NEXT, line: '' });
      } else {
        if (document.activeElement !== input) {
          input.focus();
        }
        return;
      }
    } else if (waiting.kind === 'key') {
      finishWait(keyAnswer(event));
    }
    event.preventDefault();
  });

  // A click anywhere brings the keys back to the input line.
  document.addEventListener('click', () => {
    const input = document.getElementById('command');
    if (!input.disabled && !window.getSelection().toString()) {
      input.focus();
    }
  });

  document.getElementById('input-line').addEventListener('submit', (event) => event.preventDefault());

  // The program's own messages (a game that cannot be found, the compiler's
  // findings on a source) go to the output too.
  function programLine(text) {
    appendOutput(text + '\n');
  }

  // The game is written into the file system before main runs.
  function loadGame() {
    Module.addRunDependency('game');
    fetch(gameUrl)
      .then((response) => {
        if (!response.ok) {
          throw new Error(response.status + ' ' + response.statusText);
        }
        return response.arrayBuffer();
      })
      .then((bytes) => {
        Module.FS.writeFile('/' + gameName, new Uint8Array(bytes));
        Module.removeRunDependency('game');
      })
      .catch((error) => {
        programLine('Cannot load the game ' + gameUrl + ': ' + error.message);
        window.tarnwickPage.end();
      });
  }

  window.Module = {
    arguments: [gameName.substring(0, gameName.indexOf('.'))],
    preRun: [loadGame],
    print: programLine,
    printErr: (text) => console.warn(text),
    // Standard input is empty: a source with warnings is played at once.
    stdin: () => null,
    // The program ended, whether it played or not (a game it cannot read).
    onExit: () => window.tarnwickPage.end(),
  };
})();
