// The browser view of Mizuto's results. It draws what the program's JSON says and forwards
// the player's clicks; it computes no figure of its own. Every text from a log goes into
// the page as text (textContent), never as markup.
'use strict';
(function () {
  // The window's captions of the transcript switches, by the command names the JSON uses.
  const switchCaptions = {
    CriticalView: 'クリティカル表示', WaterView: '浸水表示', SailView: '帆表示', RudderView: '舵表示',
    ConfuseView: '混乱表示', DebugView: 'デバッグモード', SayView: 'Say表示', PartyView: '艦隊チャット表示',
    CompanyView: '商会チャット表示', Room1View: 'チャットルーム１表示', Room2View: 'チャットルーム２表示',
    Room3View: 'チャットルーム３表示', TellView: 'Ｔｅｌｌ表示',
  };

  const byId = (id) => document.getElementById(id);
  const dataBlock = byId('mizuto-results');
  const file = dataBlock !== null;  // a page written to a file: no server behind it
  const tokenMeta = document.querySelector('meta[name="mizuto-token"]');
  const token = tokenMeta ? tokenMeta.content : '';
  const transcripts = file ? JSON.parse(byId('mizuto-transcripts').textContent) : null;

  let results = null;
  let chosenBattle = -1;      // the battle whose transcript is shown; -1: none
  let battleChosenByPlayer = false;
  let switchesOn = null;      // the switch names on, once the first results came
  let chart = null;
  let drawnTranscript = '';

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  function change(path, body) {
    return fetch(path, { method: 'POST', headers: { 'X-Mizuto-Token': token, 'Content-Type': 'text/plain' }, body })
      .then((r) => (r.ok ? r.json() : Promise.reject(new Error(r.status + ''))))
      .then(draw)
      .catch((e) => { byId('connection').textContent = '操作できませんでした (' + e.message + ')'; });
  }

  function drawBattles(r) {
    const list = byId('battleList');
    list.replaceChildren();
    r.battles.forEach((b, i) => {
      const li = element('li', b.label, b.counted ? 'counted' : 'uncounted');
      li.dataset.battle = i;
      if (i === chosenBattle) li.classList.add('chosen');
      li.addEventListener('click', () => {
        battleChosenByPlayer = true;
        chooseBattle(i);
      });
      list.appendChild(li);
    });
    byId('battleHint').textContent = r.hint;
  }

  function drawTallies(r) {
    const table = byId('tallyTable');
    const head = table.tHead;
    const body = table.tBodies[0];
    head.replaceChildren();
    body.replaceChildren();
    const row = document.createElement('tr');
    r.tallies.columns.forEach((c, i) => {
      const th = element('th', c.caption);
      if (i === r.tallies.sortColumn) {
        th.classList.add('sorted');
        if (r.tallies.reversed) th.classList.add('reversed');
      }
      // The program sorts, by its own rules, as a click on the window's header does.
      if (!file) th.addEventListener('click', () => change('/api/sort', String(i)));
      row.appendChild(th);
    });
    head.appendChild(row);
    for (const t of r.tallies.rows) {
      const tr = document.createElement('tr');
      tr.appendChild(element('td', t.name));
      t.cells.forEach((cell, i) => {
        const column = r.tallies.columns[i + 1];
        tr.appendChild(element('td', cell, column && column.right ? 'right' : ''));
      });
      body.appendChild(tr);
    }
  }

  function drawGrid(r) {
    const body = byId('headToHeadGrid').tBodies[0];
    body.replaceChildren();
    for (const cells of r.grid) {
      const tr = document.createElement('tr');
      for (const cell of cells) tr.appendChild(element('td', cell));
      body.appendChild(tr);
    }
  }

  function drawErrors(r) {
    const pane = byId('errorPane');
    pane.replaceChildren();
    for (const e of r.errors) pane.appendChild(element('li', e));
  }

  // The tally table's column it is sorted by (else its first of figures) per player, as a bar
  // chart: the figures are the table's, only drawn.
  function drawChart(r) {
    if (typeof Chart === 'undefined' || r.tallies.columns.length < 2) return;
    const column = r.tallies.sortColumn > 0 ? r.tallies.sortColumn : 1;
    const labels = r.tallies.rows.map((t) => t.name);
    const values = r.tallies.rows.map((t) => Number.parseFloat(t.cells[column - 1]) || 0);
    const caption = r.tallies.columns[column].caption;
    if (chart === null) {
      chart = new Chart(byId('sinkChart'), {
        type: 'bar',
        data: { labels, datasets: [{ label: caption, data: values, backgroundColor: '#4aa3ff' }] },
        options: { animation: false, responsive: true, maintainAspectRatio: false,
                   plugins: { legend: { labels: { color: '#e8eef4' } } },
                   scales: { x: { ticks: { color: '#9fb3c8' } }, y: { ticks: { color: '#9fb3c8' } } } },
      });
    } else {
      chart.data.labels = labels;
      chart.data.datasets[0].data = values;
      chart.data.datasets[0].label = caption;
      chart.update();
    }
  }

  function drawSwitches(r) {
    const box = byId('switches');
    if (file || switchesOn !== null) return;
    switchesOn = new Set(r.switches.filter((s) => s.on).map((s) => s.name));
    for (const s of r.switches) {
      const label = element('label');
      const input = element('input');
      input.type = 'checkbox';
      input.checked = s.on;
      input.dataset.switch = s.name;
      input.addEventListener('change', () => {
        if (input.checked) switchesOn.add(s.name); else switchesOn.delete(s.name);
        showTranscript();
      });
      label.appendChild(input);
      label.appendChild(document.createTextNode(' ' + (switchCaptions[s.name] || s.name)));
      box.appendChild(label);
    }
  }

  function drawLines(lines) {
    const pane = byId('battleTranscript');
    const key = JSON.stringify(lines);
    if (key === drawnTranscript) return;
    drawnTranscript = key;
    pane.replaceChildren();
    for (const line of lines) {
      const div = element('div', line.text, line.bold ? 'bold' : '');
      div.style.color = /^#[0-9a-f]{6}$/.test(line.colour) ? line.colour : '';
      pane.appendChild(div);
    }
    // In active mode the pane follows the battle being fought, at its end.
    if (results && results.active) pane.scrollTop = pane.scrollHeight;
  }

  function showTranscript() {
    if (chosenBattle < 0) return drawLines([]);
    if (file) return drawLines(transcripts[chosenBattle] || []);
    const on = Array.from(switchesOn || []).join(',');
    fetch('/api/transcript?battle=' + chosenBattle + '&on=' + encodeURIComponent(on))
      .then((r) => r.json())
      .then((t) => { if (t.battle === chosenBattle) drawLines(t.lines); })
      .catch(() => {});
  }

  function chooseBattle(i) {
    chosenBattle = i;
    for (const li of byId('battleList').children) li.classList.toggle('chosen', Number(li.dataset.battle) === i);
    showTranscript();
  }

  function draw(r) {
    results = r;
    document.title = r.title;
    byId('title').textContent = r.title;
    byId('summary').textContent = r.status;
    const counter = byId('counter');
    counter.hidden = !r.counter.visible;
    counter.textContent = r.counter.text;
    if (!file) {
      byId('activeSwitch').hidden = false;
      byId('activeMode').checked = r.active;
    }
    drawSwitches(r);
    // In active mode, as in the window, the battle being fought is the one shown.
    const selected = r.battles.findIndex((b) => b.selected);
    if (r.active && selected >= 0) battleChosenByPlayer = false;
    if (!battleChosenByPlayer) chosenBattle = selected;
    if (chosenBattle >= r.battles.length) chosenBattle = -1;
    drawBattles(r);
    drawTallies(r);
    drawGrid(r);
    drawErrors(r);
    drawChart(r);
    showTranscript();
    // For whoever checks the page from outside: the first revision drawn and the last.
    if (!document.body.dataset.firstRevision) document.body.dataset.firstRevision = String(r.revision);
    document.body.dataset.revision = String(r.revision);
  }

  for (const button of document.querySelectorAll('#pages button')) {
    button.addEventListener('click', () => {
      for (const b of document.querySelectorAll('#pages button')) b.classList.toggle('chosen', b === button);
      for (const page of document.querySelectorAll('.page')) page.hidden = page.id !== button.dataset.page;
    });
  }

  if (file) {
    draw(JSON.parse(dataBlock.textContent));
    return;
  }
  byId('activeMode').addEventListener('change', (e) => change('/api/active', e.target.checked ? 'on' : 'off'));
  draw(JSON.parse(byId('mizuto-initial').textContent));
  const events = new EventSource('/events');
  events.addEventListener('results', (e) => {
    byId('connection').textContent = '';
    draw(JSON.parse(e.data));
  });
  events.onerror = () => { byId('connection').textContent = '接続が切れました。再接続しています…'; };
})();
