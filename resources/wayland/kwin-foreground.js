// KWin script: reports the active window's process to Inkora over the session bus.
// Inkora writes its own bus name in place of the @INKORA_SERVICE@ mark before it loads
// the script through org.kde.KWin /Scripting, and unloads it when it ends.
// KWin 5 names the signal clientActivated and the property activeClient, KWin 6
// windowActivated and activeWindow; the window's pid and resourceClass are in both.
(function () {
    var service = "@INKORA_SERVICE@";

    function report(window) {
        var pid = window ? Number(window.pid) : 0;
        var windowClass = window ? String(window.resourceClass) : "";
        callDBus(service, "/org/inkora/Foreground", "org.inkora.Foreground1", "WindowActivated",
                 pid, windowClass);
    }

    var activated = workspace.windowActivated !== undefined ? workspace.windowActivated
                                                            : workspace.clientActivated;
    activated.connect(report);
    report(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
})();
