// The bookshelf of the sample main page: asks the shell for the installed
// products (GetLocalProduct), follows its progress calls with a bar, then
// reads /localList.xml and shows one card per book. Opening a card puts the
// shell into book mode (GoBook) and loads the book's own pages.
(function () {
  'use strict';

  function byId(id) { return document.getElementById(id); }

  function winFun(command, a1, a2) {
    if (!window.external || typeof window.external.WinFun !== 'function') return;
    window.external.WinFun(command, a1 || '', a2 || '', '', '', '');
  }

  // ----- Progress of the scan -----

  var found = 0;
  function showProgress(state) {
    var bar = byId('shelf-progress');
    var fill = byId('shelf-progress-fill');
    if (!bar || !fill) return;
    if (state === 0) found = 0;
    if (state === 2) found += 1;
    bar.hidden = false;
    fill.style.width = state === 1 ? '100%' : Math.round(100 * found / (found + 1)) + '%';
    if (state === 1) loadList();
  }

  // The main page keeps its own SetLocProBar; the shelf follows the same calls.
  var pageSetLocProBar = window.SetLocProBar;
  window.SetLocProBar = function (state) {
    if (typeof pageSetLocProBar === 'function') pageSetLocProBar.apply(this, arguments);
    showProgress(state);
  };

  // ----- The list -----

  function loadList() {
    var request = new XMLHttpRequest();
    // The list is rewritten by every scan: never take it from the cache.
    request.open('GET', '/localList.xml');
    request.setRequestHeader('Cache-Control', 'no-cache');
    request.onload = function () {
      var products = [];
      var xml = request.status === 200
        ? new DOMParser().parseFromString(request.responseText, 'text/xml') : null;
      if (xml && xml.documentElement && xml.documentElement.nodeName === 'ProductList') {
        products = Array.prototype.filter.call(xml.documentElement.childNodes, function (node) {
          return node.nodeType === 1;
        });
      }
      showShelf(products);
    };
    request.onerror = function () { showShelf([]); };
    request.send();
  }

  function textOf(element, name) {
    var child = element.getElementsByTagName(name)[0];
    return child ? child.textContent.trim() : '';
  }

  function card(product) {
    var id = product.getAttribute('id') || '';
    var item = document.createElement('li');
    item.className = 'shelf-book';
    item.style.setProperty('--book-color', product.getAttribute('color') || '#0a5c66');
    var spine = document.createElement('span');
    spine.className = 'shelf-spine';
    spine.textContent = product.getAttribute('subject') || '';
    var body = document.createElement('span');
    body.className = 'shelf-text';
    var title = document.createElement('strong');
    title.textContent = product.getAttribute('name') || id;
    var line = document.createElement('small');
    line.textContent = [product.getAttribute('english'), product.getAttribute('grade')]
      .filter(Boolean).join(' · ');
    var summary = document.createElement('span');
    summary.className = 'shelf-summary';
    summary.textContent = textOf(product, 'Summary');
    body.append(title, line, summary);
    var open = document.createElement('button');
    open.textContent = 'Open';
    open.addEventListener('click', function () { openBook(id, product.getAttribute('entry')); });
    item.append(spine, body, open);
    return item;
  }

  function showShelf(products) {
    var shelf = byId('shelf');
    if (!shelf) return;
    shelf.textContent = '';
    products.forEach(function (product) { shelf.appendChild(card(product)); });
    var note = byId('product-note');
    if (note) {
      note.textContent = products.length ? products.length + ' books installed.'
                                         : 'No books are installed.';
    }
    var bar = byId('shelf-progress');
    if (bar) bar.hidden = true;
  }

  function openBook(id, entry) {
    if (!/^[0-9A-Za-z_-]+$/.test(id)) return;
    winFun('GoBook', id);
    location.href = '/' + id + '/' + (entry && /^[\w.-]+$/.test(entry) ? entry : 'book.html');
  }

  document.addEventListener('DOMContentLoaded', function () { winFun('GetLocalProduct'); });
})();
