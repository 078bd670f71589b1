// Lumbrex.Control from JScript: the VBScript round trip with JScript's
// numbers (VT_I4, VT_R8), arrays read through VBArray and errors caught
// as exceptions.
// Register lumbrex-automation.dll and start the service first, then:
//   cscript //nologo roundtrip.js
// The last line printed is ROUNDTRIP OK, or FAILED: and the reason.
var bundle = "JsRoundTrip";
var IN = 0;

// Ends the script with a message when ok is false.
function check(ok, what) {
  if (!ok) {
    WScript.Echo("FAILED: " + what);
    WScript.Quit(1);
  }
}
// A list the object returned, as a JScript array.
function list(x) { return new VBArray(x).toArray(); }
function holds(x, name) {
  var items = list(x);
  for (var i = 0; i < items.length; i++) if (items[i] == name) return true;
  return false;
}
// The error the call raises, or null.
function raised(call) {
  try { call(); } catch (e) { return e; }
  return null;
}

function roundTrip() {
  var lx = new ActiveXObject("Lumbrex.Control");
  lx.ConnectToLocalService();  // without a running service: 80040202, reported below
  raised(function () { lx.DeleteBundle(bundle); });  // an earlier run's bundle

  lx.AddBundle(bundle);
  lx.BundleAddPort(bundle, IN, "COM72", 1.0);
  check(holds(lx.GetBundlesNames(), bundle), "GetBundlesNames lists " + bundle);
  var ports = list(lx.GetPortsNamesByBundleAndSide(bundle, IN));
  check(ports.length == 1 && ports[0] == "COM72", "the input side holds COM72: " + ports.join(","));
  check(lx.BundleGetPortType(bundle, IN, "COM72") == 1, "COM72 is a real port");
  lx.BundleSetRealPortParameters(bundle, IN, "COM72", 9600, 0, 8, 2, 2);
  var params = list(lx.BundleGetRealPortParameters(bundle, IN, "COM72"));
  check(params.join(" ") == "9600 0 8 2 2", "parameters read back as " + params.join(" "));

  var e = raised(function () { lx.AddBundle(bundle); });
  check(e && e.number != 0 && e.description != "", "adding an existing bundle raises an error");
  e = raised(function () { lx.AddBundle("x!DEL_BUNDLE " + bundle); });
  check(e && (e.number >>> 0) == 0x8007000D, "a name holding ! is refused");
  check(holds(lx.GetBundlesNames(), bundle), "the refused name deleted nothing");

  lx.DeleteBundle(bundle);
  check(!holds(lx.GetBundlesNames(), bundle), "DeleteBundle removed " + bundle);
  lx.DisconnectFromService();
}

// An error roundTrip does not catch lands here. Say what it was: some
// hosts (Wine's cscript) print nothing for an uncaught error and exit with
// status 0, so a script that stops early would look finished.
try {
  roundTrip();
} catch (e) {
  check(false, e.description + " (" + (e.number >>> 0).toString(16).toUpperCase() + ")");
}
WScript.Echo("ROUNDTRIP OK");
