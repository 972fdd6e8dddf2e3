// The pictures of webrunner's page: the program hands the picture area's
// pixels (0xRRGGBB) to the canvas, and asks for a picture file, fetched from
// beside the served game into the program's file system the first time.
// F12 at the command line and the button turn the pictures on and off; the
// change shows at the next new picture, as in the window.
(function () {
  'use strict';

  const query = new URLSearchParams(window.location.search);
  // A game picked from the disk has no site folder for its pictures.
  const gameUrl = query.get('file') ? null
    : query.get('game') || document.querySelector('meta[name="tarnwick-game"]').content;
  const fetched = new Set();    // paths asked for already, found or not

  function canvas() {
    return document.getElementById('picture-canvas');
  }

  function showState() {
    const button = document.getElementById('pictures-toggle');
    button.setAttribute('aria-pressed', String(window.tarnwickPictures.enabled));
  }

  window.tarnwickPictures = {
    enabled: true,

    // Writes the file at path (relative to the game's folder on the site)
    // into the file system; a file that cannot be fetched is left absent.
    async fetchFile(path) {
      if (!gameUrl || fetched.has(path) || path.startsWith('/')) {
        return;
      }
      fetched.add(path);
      try {
        const response = await fetch(new URL(path, new URL(gameUrl, window.location.href)));
        if (!response.ok) {
          return;
        }
        const bytes = new Uint8Array(await response.arrayBuffer());
        const folder = path.substring(0, path.lastIndexOf('/'));
        if (folder) {
          Module.FS.mkdirTree(folder);
        }
        Module.FS.writeFile(path, bytes);
      } catch (error) {
        console.warn('Cannot fetch the picture ' + path + ': ' + error.message);
      }
    },

    show(pixels, width, height) {
      const image = new ImageData(width, height);
      for (let i = 0; i < pixels.length; i++) {
        image.data[4 * i] = pixels[i] >>> 16 & 0xFF;
        image.data[4 * i + 1] = pixels[i] >>> 8 & 0xFF;
        image.data[4 * i + 2] = pixels[i] & 0xFF;
        image.data[4 * i + 3] = 0xFF;
      }
      canvas().getContext('2d').putImageData(image, 0, 0);
      document.getElementById('picture').hidden = false;
      document.body.dataset.picture = 'shown';
    },

    clear() {
      if (document.body.dataset.picture === 'empty') {
        return;
      }
      canvas().getContext('2d').clearRect(0, 0, canvas().width, canvas().height);
      document.body.dataset.picture = 'empty';
    },
  };

  function toggle() {
    window.tarnwickPictures.enabled = !window.tarnwickPictures.enabled;
    showState();
  }

  document.getElementById('pictures-toggle').addEventListener('click', toggle);
  showState();

  // F12 belongs to the pictures only at the command line, as in the window.
  window.addEventListener('keydown', (event) => {
    if (event.key === 'F12' && document.body.dataset.waiting === 'line') {
      event.preventDefault();
      event.stopImmediatePropagation();
      toggle();
    }
  }, true);
})();
