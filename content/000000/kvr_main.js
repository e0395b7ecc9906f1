// Quillory sample main page: calls the shell's commands and shows every
// statement the shell runs here. The shell calls the page functions below
// by name; window.quillory.received keeps them in order for anyone who
// wants to check what arrived.
(function () {
  'use strict';

  var received = [];
  window.quillory = { received: received };

  function byId(id) { return document.getElementById(id); }

  // Records one call of a page function and shows it in the log.
  function note(name, args) {
    var text = name + '(' + Array.prototype.map.call(args, function (a) {
      return JSON.stringify(a);
    }).join(', ') + ')';
    received.push(text);
    var log = byId('shell-log');
    if (!log) return;
    var item = document.createElement('li');
    item.textContent = new Date().toLocaleTimeString() + '  ' + text;
    log.appendChild(item);
    log.scrollTop = log.scrollHeight;
  }

  function show(id, text) {
    var element = byId(id);
    if (element) element.textContent = text;
  }

  // ----- Page functions the shell calls -----

  window.SetFun = function (kind, value) {
    note('SetFun', arguments);
    if (kind === 'gotoPage') show('product-note', 'Remembered lesson page: ' + value);
  };

  window.SetBaseInfo = function (contentFolder, serverUrl, version) {
    note('SetBaseInfo', arguments);
    show('content-folder', contentFolder);
    show('server-url', serverUrl);
    show('version', version ? 'Version ' + version : '');
  };

  var kScanStates = { 0: 'scanning…', 1: 'done', 2: null };
  var productsFound = 0;
  window.SetLocProBar = function (state) {
    note('SetLocProBar', arguments);
    if (state === 0) productsFound = 0;
    if (state === 2) productsFound += 1;
    var label = kScanStates[state];
    show('product-scan', (label || 'scanning…') + ' (' + productsFound + ' found)');
  };

  var kImportStates = { 0: 'failed', 1: 'installed', 3: 'cancelled' };
  window.SetUnzPkg = function (state) {
    note('SetUnzPkg', arguments);
    show('package-import', kImportStates[state] || String(state));
  };

  window.ShowMe = function () {
    note('ShowMe', arguments);
  };

  // ----- Calling the shell -----

  function callShell(button) {
    var d = button.dataset;
    window.external.WinFun(d.call, d.a1 || '', d.a2 || '', '', '', '');
  }

  document.addEventListener('DOMContentLoaded', function () {
    Array.prototype.forEach.call(document.querySelectorAll('button[data-call]'), function (b) {
      b.addEventListener('click', function () { callShell(b); });
    });
    byId('clear-log').addEventListener('click', function () { byId('shell-log').textContent = ''; });
    window.external.WinFun('GetBaseInfo', '', '', '', '', '');
  });
})();
