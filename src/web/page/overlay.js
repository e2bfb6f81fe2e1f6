// The sink counter for a streaming program's browser source: the program's own counter
// text, large, on a transparent background. ?size=96&color=%23ffffff&outline=%23000000&bg=transparent
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const label = document.getElementById('scoreLabel');
  document.body.style.margin = '0';
  const size = Number.parseInt(params.get('size') || '72', 10);
  // Set through the style object: a value that is no colour is dropped by the browser.
  document.documentElement.style.background = params.get('bg') || 'transparent';
  document.body.style.background = params.get('bg') || 'transparent';
  label.style.fontSize = (Number.isFinite(size) && size > 0 && size <= 1000 ? size : 72) + 'px';
  label.style.color = params.get('color') || '#ffffff';
  label.style.fontFamily = params.get('font') || '"IPAGothic", "Meiryo", sans-serif';
  label.style.fontWeight = 'bold';
  label.style.whiteSpace = 'nowrap';
  label.style.padding = '0.1em 0.3em';
  const outline = params.get('outline') || '#000000';
  label.style.textShadow = `0 0 4px ${outline}, 0 0 4px ${outline}, 0 0 8px ${outline}`;

  function draw(r) {
    label.textContent = r.counter.text;
    document.body.dataset.revision = String(r.revision);
  }
  fetch('/api/results').then((r) => r.json()).then(draw).catch(() => {});
  new EventSource('/events').addEventListener('results', (e) => draw(JSON.parse(e.data)));
})();
