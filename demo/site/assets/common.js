// The service's shared page script: the mask the client raises around its own
// dialogs, and the bridge to the client when the page runs inside it.
window.$common = {
  disableScreen: function (ms) {
    var mask = document.getElementById("mask");
    if (mask) mask.style.display = "block";
  },
  enableScreen: function () {
    var mask = document.getElementById("mask");
    if (mask) mask.style.display = "none";
  }
};

// Calls fn(qt) once the client's bridge is up; outside the client it never calls.
window.withClient = (function () {
  var waiting = [], bridge = null;
  if (typeof qt !== "undefined" && qt.webChannelTransport) {
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.qt;
      waiting.forEach(function (fn) { fn(bridge); });
      waiting = [];
    });
  }
  return function (fn) { if (bridge) fn(bridge); else waiting.push(fn); };
})();
