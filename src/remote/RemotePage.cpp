#include "remote/RemotePage.h"

namespace trv::remote {

const char* const kPageHtml = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Trelvane remote view</title>
<link rel="stylesheet" href="/app.css">
<script src="/app.js" defer></script>
</head>
<body>
<header><h1>Trelvane <span id="acquisition">-</span></h1>
<div id="state" class="state">-</div></header>
<div id="alerts"></div>
<section class="facts">
<table>
<tr><th>Project</th><td id="project">-</td></tr>
<tr><th>Folder</th><td id="folder">-</td></tr>
<tr><th>Started</th><td id="start_time">-</td></tr>
<tr><th>Elapsed / lapse</th><td id="elapsed">-</td></tr>
<tr><th>Expected end</th><td id="expected_end">-</td></tr>
<tr><th>Blocks recorded</th><td id="blocks_recorded">-</td></tr>
<tr><th>Blocks dropped</th><td id="blocks_dropped">-</td></tr>
<tr><th>Blocks not saved</th><td id="blocks_not_saved">-</td></tr>
<tr><th>Last stored block</th><td id="last_block_time">-</td></tr>
<tr><th>Link</th><td id="link">-</td></tr>
<tr><th>Temperature</th><td id="temperature">-</td></tr>
<tr><th>Light</th><td id="light">-</td></tr>
<tr><th>Free disk</th><td id="disk">-</td></tr>
<tr><th>Updated</th><td id="updated">-</td></tr>
</table>
</section>
<section><h2>Group activity per block</h2><canvas id="groups" width="900" height="260"></canvas>
<div id="legend"></div></section>
<section><h2>Plate, last hour</h2><canvas id="plate" width="600" height="400"></canvas></section>
<section><h2>Run log</h2><pre id="log"></pre></section>
</body>
</html>
)html";

const char* const kPageScript = R"js('use strict';
const colours = ['#1f77b4','#ff7f0e','#2ca02c','#d62728','#9467bd','#8c564b','#e377c2',
                 '#7f7f7f','#bcbd22','#17becf','#393b79','#637939','#8c6d31','#843c39'];
let rows = [];
let since = 0;
let folder = null;

function text(id, value) { document.getElementById(id).textContent = value; }
function when(seconds) {
  return seconds ? new Date(seconds * 1000).toLocaleString() : '-';
}
function bytes(n) {
  if (n < 0) return 'unknown';
  return (n / 1e9).toFixed(2) + ' GB';
}

function drawGroups(groups) {
  const c = document.getElementById('groups');
  const g = c.getContext('2d');
  g.clearRect(0, 0, c.width, c.height);
  g.strokeStyle = '#999';
  g.strokeRect(40, 10, c.width - 50, c.height - 40);
  if (rows.length === 0) return;
  let top = 1;
  for (const r of rows) for (const v of r.groups) top = Math.max(top, v);
  const x = i => 40 + (c.width - 50) * (rows.length === 1 ? 0.5 : i / (rows.length - 1));
  const y = v => c.height - 30 - (c.height - 40) * v / top;
  g.fillStyle = '#333';
  g.fillText(String(top), 2, 18);
  g.fillText('0', 2, c.height - 30);
  g.fillText('minute ' + rows[0].minute, 40, c.height - 12);
  g.fillText('minute ' + rows[rows.length - 1].minute, c.width - 90, c.height - 12);
  groups.forEach((grp, k) => {
    g.strokeStyle = colours[k % colours.length];
    g.beginPath();
    rows.forEach((r, i) => { if (i === 0) g.moveTo(x(i), y(r.groups[k])); else g.lineTo(x(i), y(r.groups[k])); });
    g.stroke();
  });
  const legend = document.getElementById('legend');
  legend.replaceChildren(...groups.map((grp, k) => {
    const s = document.createElement('span');
    s.style.color = colours[k % colours.length];
    s.textContent = 'G' + grp.number + ' ' + grp.name + '  ';
    return s;
  }));
}

function drawPlate(s) {
  const c = document.getElementById('plate');
  const g = c.getContext('2d');
  g.clearRect(0, 0, c.width, c.height);
  const rowsN = s.plate_rows, cols = s.plate_columns, w = s.wells_last_hour;
  if (!rowsN || !cols || w.length === 0) return;
  const top = Math.max(1, ...w);
  const cw = (c.width - 30) / cols, ch = (c.height - 20) / rowsN;
  for (let r = 0; r < rowsN; ++r) {
    g.fillStyle = '#333';
    g.fillText(String.fromCharCode(65 + r), 4, 20 + r * ch + ch / 2);
    for (let k = 0; k < cols; ++k) {
      const v = w[r * cols + k] || 0;
      const t = v / top;
      g.fillStyle = 'rgb(' + Math.round(255 * t) + ',' + Math.round(80 + 100 * (1 - t)) + ',' + Math.round(255 * (1 - t)) + ')';
      g.fillRect(25 + k * cw + 1, 20 + r * ch + 1, cw - 2, ch - 2);
    }
  }
  g.fillStyle = '#333';
  for (let k = 0; k < cols; ++k) g.fillText(String(k + 1), 25 + k * cw + cw / 2 - 4, 12);
}

async function poll() {
  try {
    const s = await (await fetch('/api/status', {cache: 'no-store'})).json();
    if (s.folder !== folder) { folder = s.folder; rows = []; since = 0; }
    for (let page = 0; page < 20; ++page) {
      const b = await (await fetch('/api/blocks?since=' + since, {cache: 'no-store'})).json();
      if (b.blocks.length === 0) break;
      rows.push(...b.blocks);
      since = b.blocks[b.blocks.length - 1].number;
    }
    text('acquisition', s.acquisition || '(no acquisition)');
    text('state', s.state);
    document.getElementById('state').className = 'state ' + s.state.replace(' ', '-');
    text('project', s.project);
    text('folder', s.folder || '-');
    text('start_time', when(s.start_time));
    text('elapsed', s.elapsed_minutes.toFixed(1) + ' of ' + s.lapse_minutes + ' minutes');
    text('expected_end', when(s.expected_end));
    text('blocks_recorded', s.blocks_recorded);
    text('blocks_dropped', s.blocks_dropped);
    text('blocks_not_saved', s.blocks_not_saved);
    text('last_block_time', when(s.last_block_time));
    text('link', s.link_up ? 'up' : 'down');
    text('temperature', (s.temperature === null ? 'not read' : s.temperature.toFixed(1) + ' \u00b0C') +
         ', set point ' + s.set_point.toFixed(1) + ' \u00b0C' + (s.regulation ? ' (regulated)' : ' (not regulated)'));
    text('light', (s.light_on ? 'on' : 'off') + ', ' + s.light_schedule);
    text('disk', bytes(s.disk_free_bytes) + ' free of ' + bytes(s.disk_total_bytes));
    text('updated', new Date().toLocaleTimeString());
    const alerts = document.getElementById('alerts');
    alerts.replaceChildren(...s.alerts.map(a => {
      const d = document.createElement('div');
      d.className = 'alert';
      d.textContent = a;
      return d;
    }));
    text('log', s.log.join('\n'));
    drawGroups(s.groups);
    drawPlate(s);
  } catch (e) {
    text('updated', 'no answer: ' + e);
  }
}

poll();
setInterval(poll, 2000);
)js";

const char* const kPageStyle = R"css(body { font-family: sans-serif; margin: 1em; color: #222; }
header { display: flex; align-items: center; gap: 1em; }
h1 { font-size: 1.4em; margin: 0; }
h2 { font-size: 1.1em; }
.state { padding: 0.2em 0.6em; border-radius: 0.3em; background: #ddd; font-weight: bold; }
.state.recording { background: #b7e4b0; }
.state.paused { background: #f3e3a1; }
.state.link-down, .state.disk-error { background: #f2a7a7; }
.alert { background: #f2a7a7; padding: 0.4em; margin: 0.3em 0; border-radius: 0.3em; }
table { border-collapse: collapse; }
th { text-align: left; padding-right: 1em; font-weight: normal; color: #555; }
canvas { border: 1px solid #ccc; max-width: 100%; }
pre { background: #f4f4f4; padding: 0.5em; max-height: 20em; overflow: auto; font-size: 0.8em; }
)css";

} // namespace trv::remote
