#include "browser/bridge_scripts.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kestrix {
namespace {

// The record lives in a closure: page scripts can call the bridge, as the
// pages we resolve expect, but cannot reach the record except through the
// one accessor.
constexpr char kBridge[] = R"JS(
(function () {
  // A frame the page made for itself shares the top page's record, so what
  // a script does through a frame is captured too.
  try {
    if (window.top !== window && typeof window.top.__kestrixTake === 'function') {
      Object.defineProperty(window, 'external',
                            { value: window.top.external, configurable: true, writable: true });
      return;
    }
  } catch (e) {}
  var empty = function () { return { k: 0, u: '', m: '', v: '' }; };
  var record = empty();
  var text = function (x) { return x === undefined || x === null ? '' : String(x); };
  var keep = /^[A-Za-z0-9!$'()*\-.@_]$/;
  var utf8 = new TextEncoder();
  var encode = function (s) {
    s = text(s);
    var zero = s.indexOf('\u0000');
    if (zero >= 0) s = s.substring(0, zero);
    var out = '';
    for (var ch of s) {
      if (keep.test(ch)) { out += ch; continue; }
      if (ch === ' ') { out += '+'; continue; }
      var bytes = utf8.encode(ch);
      for (var i = 0; i < bytes.length; i++) {
        out += '%' + (bytes[i] < 16 ? '0' : '') + bytes[i].toString(16).toUpperCase();
      }
    }
    return out;
  };
  var bridge = {
    frmSubmit: function (formAction, formMethod, formValue) {
      var action = text(formAction);
      if (action !== '') record = { k: 2, u: action, m: text(formMethod), v: text(formValue) };
    },
    HTTPEncode: function (AStr) { return encode(AStr); }
  };
  Object.defineProperty(bridge, 'wndOpenUrl', {
    set: function (url) {
      url = text(url);
      if (url !== '') record = { k: 1, u: url, m: '', v: '' };
    }
  });
  Object.defineProperty(window, 'external', { value: bridge, configurable: true, writable: true });
  Object.defineProperty(window, '__kestrixTake', {
    value: function () { var r = record; record = empty(); return JSON.stringify(r); }
  });
  // Peer connections send packets that no request filter sees.
  delete window.RTCPeerConnection;
  delete window.webkitRTCPeerConnection;
})();
)JS";

constexpr char kPrologue[] = R"JS(
var SaveClose = document.close;
function NoClose() {}
function ExtOpen(url, nam, atr) { external.wndOpenUrl = url; return window; }
window.open = ExtOpen;
window.close = NoClose;
document.close = NoClose;
function ExtSubmit() {
  var form = this;
  var names = [], values = [];
  var elements = form.elements;
  for (var i = 0; i < elements.length; i++) {
    var e = elements[i];
    if (!e.name) continue;
    var type = String(e.type || '').toLowerCase();
    if (type === 'text' || type === 'textarea' || type === 'password' || type === 'file' ||
        type === 'submit' || type === 'hidden') {
      names.push(e.name); values.push(e.value);
    } else if (type === 'checkbox' || type === 'radio') {
      if (e.checked) { names.push(e.name); values.push(e.value); }
    } else if (type === 'select-one') {
      if (e.selectedIndex >= 0) { names.push(e.name); values.push(e.options[e.selectedIndex].value); }
    } else if (type === 'select-multiple') {
      if (e.selectedIndex >= 0) {
        var list = [];
        for (var j = 0; j < e.options.length; j++) if (e.options[j].selected) list.push(e.options[j].value);
        names.push(e.name); values.push(list);
      }
    }
  }
  var s = '';
  for (var n = 0; n < names.length; n++) {
    var v = Array.isArray(values[n]) ? values[n] : [values[n]];
    for (var m = 0; m < v.length; m++) {
      s += external.HTTPEncode(names[n]) + '=' + external.HTTPEncode(v[m]) + '&';
    }
  }
  s = s.substring(0, s.length - 1);
  external.frmSubmit(form.getAttribute('action'), form.getAttribute('method'), s);
}
// Forms made after the page has loaded go through the bridge too.
HTMLFormElement.prototype.submit = ExtSubmit;
function NoError() { return true; }
window.onerror = NoError;
function NoBox() { return 1; }
window.alert = NoBox;
window.confirm = NoBox;
window.prompt = NoBox;
)JS";

constexpr char kEpilogue[] = R"JS(
(function () {
  for (var i = 0; i < document.forms.length; i++) document.forms[i].submit = ExtSubmit;
  document.close = SaveClose;
})();
)JS";

}  // namespace

QString PrologueScript() {
  return QString::fromUtf8(kBridge) + QString::fromUtf8(kPrologue);
}

QString EpilogueScript() {
  return QString::fromUtf8(kEpilogue);
}

QString ResetCaptureCall() {
  return QStringLiteral("if (typeof __kestrixTake === 'function') __kestrixTake();\n");
}

QString LinkCodeCall(const QString& code) {
  // The code runs as a script of the page. Handler code such as
  // "go('a.htm'); return false" is a function body, not a script, and does
  // not even parse as one; only then is it run once more as a function. The
  // marker tells a script that failed to parse from one that ran and threw,
  // which must not run twice.
  static const QString run = QStringLiteral(
      "(function (code) {\n"
      "  window.__kestrixRan = false;\n"
      "  try { (0, eval)('window.__kestrixRan = true;\\n' + code); return; } catch (e) {\n"
      "    if (window.__kestrixRan || !(e instanceof SyntaxError)) return;\n"
      "  }\n"
      "  try { new Function(code).call(window); } catch (e) {}\n"
      "})(");
  const QByteArray quoted = QJsonDocument(QJsonArray{code}).toJson(QJsonDocument::Compact);
  return ResetCaptureCall() + run + QString::fromUtf8(quoted) + QStringLiteral("[0]);");
}

QString TakeCaptureCall() {
  return QStringLiteral("typeof __kestrixTake === 'function' ? __kestrixTake() : ''");
}

}  // namespace kestrix
