// The reader shared by the sample textbooks: one page of the book at a time.
// The page number is remembered in the shell as the book's lesson page
// (SaveLesson) and offered back when the book opens again (GetLesson answers
// with SetFun('gotoPage', n) before its call returns).
(function () {
  'use strict';
  var pages = document.querySelectorAll('.book-pages .page');
  var current = 0;

  function byId(id) { return document.getElementById(id); }

  function winFun(command, a1) {
    if (!window.external || typeof window.external.WinFun !== 'function') return;
    window.external.WinFun(command, a1 === undefined ? '' : String(a1), '', '', '', '');
  }

  function show(number, remember) {
    var n = Math.min(Math.max(number, 1), pages.length);
    for (var i = 0; i < pages.length; i++) pages[i].hidden = (i !== n - 1);
    current = n;
    byId('book-where').textContent = '第 ' + n + ' / ' + pages.length + ' 页';
    byId('book-prev').disabled = (n === 1);
    byId('book-next').disabled = (n === pages.length);
    if (remember) {
      byId('book-resume').textContent = '';
      winFun('SaveLesson', n);
    }
  }

  // Statements the shell runs in this page.
  window.SetFun = function (what, value) {
    if (what === 'gotoPage') {
      var n = parseInt(value, 10);
      if (n >= 1 && n <= pages.length) {
        show(n, false);
        byId('book-resume').textContent = '已回到上次读到的第 ' + n + ' 页';
      }
    } else if (what === 'enter' && current < pages.length) {
      show(current + 1, true);
    }
  };
  window.ShowMe = function () {};

  byId('book-prev').onclick = function () { show(current - 1, true); };
  byId('book-next').onclick = function () { show(current + 1, true); };
  byId('book-back').onclick = function () { winFun('QuitBook'); };
  byId('book-minimise').onclick = function () { winFun('MinWindow'); };
  byId('book-windowed').onclick = function () {
    winFun('GoMainWin', '');
    location.replace('/000000/kvr_main.html');
  };
  document.addEventListener('keydown', function (event) {
    if (event.key === 'ArrowRight' || event.key === 'PageDown') show(current + 1, true);
    if (event.key === 'ArrowLeft' || event.key === 'PageUp') show(current - 1, true);
  });

  show(1, false);
  winFun('GetLesson');
})();
