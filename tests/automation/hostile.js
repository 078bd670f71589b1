// The JScript form of hostile.vbs: an object whose toString throws on its
// first call and gives "x!DEL_BUNDLE <victim>" on the next, handed to the
// methods that turn a bundle name into text. Each must be refused and the
// victim bundle must survive.
// Run by roundtrip.sh against the stand-in service; the last line printed
// is HOSTILE OK, or FAILED: and the reason.
var victim = "JsVictim";

function check(ok, what) {
  if (!ok) {
    WScript.Echo("FAILED: " + what);
    WScript.Quit(1);
  }
}
function holds(x, name) {
  var items = new VBArray(x).toArray();
  for (var i = 0; i < items.length; i++) if (items[i] == name) return true;
  return false;
}
function raised(call) {
  try { call(); } catch (e) { return e; }
  return null;
}
function shifty() {
  var reads = 0;
  var name = {};
  name.toString = name.valueOf = function () {
    reads++;
    if (reads == 1) throw new Error("the first read fails");
    return "x!DEL_BUNDLE " + victim;
  };
  return name;
}

function attack() {
  var lx = new ActiveXObject("Lumbrex.Control");
  lx.ConnectToLocalService();
  raised(function () { lx.DeleteBundle(victim); });
  lx.AddBundle(victim);
  var methods = {
    AddBundle: function (n) { lx.AddBundle(n); },
    DeleteBundle: function (n) { lx.DeleteBundle(n); },
    GetBundleState: function (n) { lx.GetBundleState(n); }
  };
  for (var method in methods) {
    var e = raised(function () { methods[method](shifty()); });
    check(e && (e.number >>> 0) == 0x8007000D,
          method + " took a name whose reading failed: " + (e ? (e.number >>> 0).toString(16) : "no error"));
    check(holds(lx.GetBundlesNames(), victim), method + " deleted " + victim);
    // The pipe holds no reply left over from a command nobody checked.
    check(lx.GetBundleState(victim), "after " + method + ", " + victim + " is not running");
  }
  lx.DeleteBundle(victim);
  check(!holds(lx.GetBundlesNames(), victim), "DeleteBundle " + victim + " did nothing");
  lx.DisconnectFromService();
}

var failure = raised(attack);
check(failure == null, failure ? failure.message + " (" + (failure.number >>> 0).toString(16) + ")" : "");
WScript.Echo("HOSTILE OK");
