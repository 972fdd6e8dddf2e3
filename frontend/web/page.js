// The page of webrunner: it fetches the game into the program's file system
// before the program starts, shows what the web front end writes, and
// answers its waits with the player's line or key. The saves the program
// writes are kept in the browser's storage, and the player can download and
// upload them and play a game from the disk.
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

  // The game played when the address names none: the page's own choice.
  const DEFAULT_GAME = document.querySelector('meta[name="tarnwick-game"]').content;
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

  // ?file=NAME plays the game the player picked from the disk, kept in the
  // browser's storage; ?game=URL a served one.
  const query = new URLSearchParams(window.location.search);
  const pickedName = query.get('file');
  const gameUrl = query.get('game') || DEFAULT_GAME;
  const gameName = pickedName ? gameFile(pickedName) : gameFile(gameUrl);

  // The program runs in the root folder of its in-memory file system and
  // writes its saves there, as NAME.sv1..NAME.sv9 (the first 8 characters of
  // the game's name). KEPT, a folder kept in IndexedDB, holds copies of the
  // saves and, in PICKED, the last game picked from the disk.
  const KEPT = '/kept';
  const PICKED = KEPT + '/picked';
  const SAVE_FILE = /^[^/]+\.sv[1-9]$/;
  const saveBase = gameName.substring(0, gameName.indexOf('.')).substring(0, 8);

  function saveName(position) {
    return saveBase + '.sv' + position;
  }

  function fileBytes(path) {
    try {
      return Module.FS.readFile(path);
    } catch (error) {
      return null;
    }
  }

  function sameBytes(a, b) {
    return a !== null && b !== null && a.length === b.length && a.every((byte, i) => byte === b[i]);
  }

  // Writes the kept folder to IndexedDB (populate false) or reads it from
  // there (true); then calls done.
  function syncKept(populate, done) {
    Module.FS.syncfs(populate, (error) => {
      if (error) {
        console.warn('The browser\'s storage failed: ' + error);
      }
      if (done) {
        done();
      }
    });
  }

  // The saves the program wrote since the last wait go to the kept folder.
  // A save is written under a name of its own and then renamed, and either
  // step marks the root folder changed: while it is unchanged since the last
  // look (the same millisecond counts as changed), no file is read.
  let savesLookedAt = -Infinity;

  function keepSaves() {
    if (Module.FS.stat('/').mtime.getTime() < savesLookedAt) {
      return;
    }
    savesLookedAt = Date.now();
    let changed = false;
    for (const name of Module.FS.readdir('/')) {
      if (SAVE_FILE.test(name)) {
        const bytes = fileBytes('/' + name);
        if (bytes !== null && !sameBytes(bytes, fileBytes(KEPT + '/' + name))) {
          Module.FS.writeFile(KEPT + '/' + name, bytes);
          changed = true;
        }
      }
    }
    if (changed) {
      syncKept(false);
    }
  }

  function setText(node, text) {
    if (node.textContent !== text) {
      node.textContent = text;
    }
  }

  function element(area) {
    return document.getElementById(AREA_IDS[area]);
  }

  // The output is a live region: what is appended is announced once. The
  // echo of the player's line is shown but hidden from screen readers, who
  // heard it typed.
  function appendOutput(text, echoed) {
    const output = element(AREA_OUTPUT);
    if (echoed) {
      const echo = document.createElement('span');
      echo.className = 'echo';
      echo.setAttribute('aria-hidden', 'true');
      echo.textContent = echoed;
      output.appendChild(echo);
    }
    if (text) {
      output.appendChild(document.createTextNode(text));
    }
    showNewest();
  }

  // New text scrolls the output to its end once a frame, not at every write:
  // each scroll lays the whole output out again. A change of the output's
  // size (a narrower window, a phone turned) keeps its end in view unless the
  // player has scrolled back.
  let scrollQueued = false;
  let followNewest = true;

  function showNewest() {
    if (scrollQueued) {
      return;
    }
    scrollQueued = true;
    requestAnimationFrame(() => {
      scrollQueued = false;
      const output = element(AREA_OUTPUT);
      output.scrollTop = output.scrollHeight;
    });
  }

  {
    const output = element(AREA_OUTPUT);
    output.addEventListener('scroll', () => {
      followNewest = output.scrollTop + output.clientHeight >= output.scrollHeight - 2;
    });
    new ResizeObserver(() => {
      if (followNewest) {
        output.scrollTop = output.scrollHeight;
      }
    }).observe(output);
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
    if (input.placeholder) {
      input.placeholder = '';
    }
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

    // Replaces the text of an area of the panel (the output only grows,
    // through output below).
    write(area, text) {
      setText(element(area), text);
    },

    // The echo of the player's line (if any), then what the program wrote.
    output(echo, text) {
      appendOutput(text, echo);
    },

    clear(area) {
      element(area).textContent = '';
    },

    // The page is changed only where it differs, since each change makes
    // the browser look at the page again.
    readInput(prompt, limit) {
      keepSaves();
      setText(document.getElementById('prompt'), prompt);
      const input = document.getElementById('command');
      if (input.maxLength !== limit) {
        input.maxLength = limit;
      }
      input.disabled = false;
      if (document.activeElement !== input) {
        input.focus();
      }
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
      keepSaves();
      setText(document.getElementById('prompt'), '');
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

    // A save made just before the end is kept too.
    end() {
      keepSaves();
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

  // Tab is no answer: it moves the focus, even while a key is awaited.
  document.addEventListener('keydown', (event) => {
    if (!waiting || event.key === 'Tab' || event.target.closest('#files') || event.ctrlKey || event.altKey || event.metaKey || MODIFIER_KEYS.includes(event.key)) {
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

  // A click anywhere but on the file controls brings the keys back to the
  // input line.
  document.addEventListener('click', (event) => {
    const input = document.getElementById('command');
    if (!input.disabled && !window.getSelection().toString() && !event.target.closest('#files')) {
      input.focus();
    }
  });

  document.getElementById('input-line').addEventListener('submit', (event) => event.preventDefault());

  // The program's own messages (a game that cannot be found, the compiler's
  // findings on a source) go to the output too.
  function programLine(text) {
    appendOutput(text + '\n');
  }

  // The game is written into the file system before main runs, after the
  // kept saves are read from IndexedDB and copied beside it.
  function loadGame() {
    Module.addRunDependency('game');
    const failed = (error) => {
      programLine('Cannot load the game ' + (pickedName || gameUrl) + ': ' + error.message);
      window.tarnwickPage.end();
    };
    const FS = Module.FS;
    FS.mkdir(KEPT);
    FS.mount(FS.filesystems.IDBFS, {}, KEPT);
    syncKept(true, () => {
      for (const name of FS.readdir(KEPT)) {
        if (SAVE_FILE.test(name)) {
          FS.writeFile('/' + name, FS.readFile(KEPT + '/' + name));
        }
      }
      if (pickedName) {
        const bytes = fileBytes(PICKED + '/' + gameName);
        if (bytes === null) {
          failed(new Error('it is no longer in the browser\'s storage'));
          return;
        }
        FS.writeFile('/' + gameName, bytes);
        Module.removeRunDependency('game');
        return;
      }
      fetch(gameUrl)
        .then((response) => {
          if (!response.ok) {
            throw new Error(response.status + ' ' + response.statusText);
          }
          return response.arrayBuffer();
        })
        .then((bytes) => {
          FS.writeFile('/' + gameName, new Uint8Array(bytes));
          Module.removeRunDependency('game');
        })
        .catch(failed);
    });
  }

  function savePosition() {
    return document.getElementById('save-position').value;
  }

  function showNote(text) {
    document.getElementById('file-note').textContent = text;
  }

  // The save in the chosen position, its bytes as the program wrote them.
  document.getElementById('download-save').addEventListener('click', () => {
    const name = saveName(savePosition());
    const bytes = fileBytes('/' + name);
    if (bytes === null) {
      showNote('No game is saved in position ' + savePosition() + '.');
      return;
    }
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
    showNote('Downloaded ' + name + '.');
  });

  // A save file from the disk into the chosen position, for restore to find.
  document.getElementById('upload-save').addEventListener('change', (event) => {
    const file = event.target.files[0];
    event.target.value = '';
    if (!file) {
      return;
    }
    const name = saveName(savePosition());
    file.arrayBuffer().then((buffer) => {
      const bytes = new Uint8Array(buffer);
      Module.FS.writeFile('/' + name, bytes);
      Module.FS.writeFile(KEPT + '/' + name, bytes);
      syncKept(false, () => showNote('Uploaded ' + file.name + ' as ' + name + '.'));
    });
  });

  // A game from the disk is kept, alone, in the picked folder and played by
  // loading the page anew with ?file=NAME.
  function playPicked(file) {
    if (!/\.(twk|adv)$/i.test(file.name)) {
      showNote(file.name + ' is no game: a game is a .twk or an .adv file.');
      return;
    }
    const name = gameFile(file.name);
    file.arrayBuffer().then((buffer) => {
      const FS = Module.FS;
      if (!FS.analyzePath(PICKED).exists) {
        FS.mkdir(PICKED);
      }
      for (const old of FS.readdir(PICKED)) {
        if (old !== '.' && old !== '..') {
          FS.unlink(PICKED + '/' + old);
        }
      }
      FS.writeFile(PICKED + '/' + name, new Uint8Array(buffer));
      syncKept(false, () => {
        window.location.search = '?file=' + encodeURIComponent(name);
      });
    });
  }

  document.getElementById('game-file').addEventListener('change', (event) => {
    if (event.target.files[0]) {
      playPicked(event.target.files[0]);
    }
  });

  document.addEventListener('dragover', (event) => {
    if (event.dataTransfer.types.includes('Files')) {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
    }
  });

  document.addEventListener('drop', (event) => {
    if (event.dataTransfer.files.length > 0) {
      event.preventDefault();
      playPicked(event.dataTransfer.files[0]);
    }
  });

  // ?seed=N starts the random numbers as ttyrunner's --seed=N does, so that
  // the same game, seed and commands give the same text in both.
  const gameArguments = [gameName.substring(0, gameName.indexOf('.'))];
  const seed = query.get('seed');
  if (seed !== null && /^[0-9]+$/.test(seed)) {
    gameArguments.unshift('--seed=' + seed);
  }

  window.Module = {
    arguments: gameArguments,
    preRun: [loadGame],
    print: programLine,
    printErr: (text) => console.warn(text),
    // Standard input is empty: a source with warnings is played at once.
    stdin: () => null,
    // The program ended, whether it played or not (a game it cannot read).
    onExit: () => window.tarnwickPage.end(),
  };
})();
