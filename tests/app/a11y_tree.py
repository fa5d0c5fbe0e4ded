#!/usr/bin/python3
"""What a screen reader sees: the window program under Xvfb with the desktop's
accessibility bus (AT-SPI), its list's pop-up menu opened by the menu key.

Run inside its own D-Bus session:
    dbus-run-session -- a11y_tree.py CLI WINDOW RESOURCES MAILDIR
Passes when the pop-up menu and its entries are in the tree while it is open,
and every control on screen has a name to be read out."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

CLI, WINDOW, RESOURCES, MAILS = sys.argv[1:5]
NAMED_ROLES = {"push button", "check box", "radio button", "text", "combo box", "table", "spin button",
               "page tab", "menu item"}


def wait_for(what, seconds, step=0.2):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(step)
    return None


def walk(node, depth=0, seen=None):
    """Every node below with its depth, read defensively: a node may vanish meanwhile."""
    seen = [] if seen is None else seen
    try:
        states = node.getState().getStates()
        seen.append((depth, node, node.getRoleName(), node.name or "", pyatspi.STATE_SHOWING in states))
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1, seen)
    except Exception:  # noqa: BLE001 - a node gone while read
        pass
    return seen


def start_display(procs):
    """An X server of the test's own on a number nobody uses: a display that another test's
    server gives up meanwhile must not be ours."""
    for n in range(70, 200):
        if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
            continue
        server = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait_for(lambda: server.poll() is not None or os.path.exists(f"/tmp/.X11-unix/X{n}"), 20) and \
                server.poll() is None:
            procs.append(server)
            return f":{n}"
        server.kill()  # taken by another at the same moment: the next number
    return None


def registry_answers():
    try:
        return pyatspi.Registry.getDesktop(0).childCount >= 0
    except Exception:  # noqa: BLE001 - not up yet
        return False


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and "gaveldesk" in (app.name or "").lower():
            return app
    return None


def named(node):
    """A name of its own, or one from the label that names it."""
    if node.name:
        return True
    try:
        for relation in node.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                return True
    except Exception:  # noqa: BLE001
        pass
    return False


def main():
    home = tempfile.mkdtemp(prefix="gaveldesk-a11y-")
    procs = []
    try:
        shutil.copytree(RESOURCES, home, dirs_exist_ok=True)
        with open(os.path.join(home, "bin", "config.ini"), "wb") as f:
            f.write(b"[User]\r\nUsername=gavel_haendler\r\n")
        env = dict(os.environ, GAVELDESK_HOME=home, LANG="de_DE.UTF-8")
        env.pop("QT_QPA_PLATFORM", None)
        subprocess.run([CLI, "--create-database"], env=env, check=True, capture_output=True)
        mails = sorted(os.path.join(MAILS, m) for m in os.listdir(MAILS) if m.startswith(("kauf", "verkauf")))
        subprocess.run([CLI, "--import", *mails], env=env, capture_output=True)

        display = start_display(procs)
        if not display:
            print("Kein virtueller Bildschirm (Xvfb) ließ sich starten.")
            return 1
        env["DISPLAY"] = display
        procs.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        # The accessibility bus and its registry answering before the program starts: the program
        # looks for them once, and an application that registers before the registry is up is
        # never listed. Asking the registry for the desktop starts it and waits for its answer.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.a11y.Bus.GetAddress"], check=True, capture_output=True)
        if wait_for(registry_answers, 60) is None:
            print("Der Registrierungsdienst der Bedienungshilfen antwortet nicht.")
            return 1
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        procs.append(subprocess.Popen([WINDOW], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE))

        def table():
            app = application()
            if not app:
                return None
            for _, node, role, name, showing in walk(app):
                if role == "table" and name == "Auktionsliste" and showing:
                    return node
            return None

        grid = wait_for(table, 60)
        if not grid:
            print("Die Auktionsliste erscheint nicht im Baum der Bedienungshilfen.")
            desktop = pyatspi.Registry.getDesktop(0)
            known = [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]
            print("Angemeldete Programme:", known, "; das Programm läuft:", procs[-1].poll() is None,
                  "Rückgabe:", procs[-1].returncode)
            if procs[-1].poll() is not None:
                print("\n".join(procs[-1].stderr.read().decode(errors="replace").splitlines()[-40:]))
            return 1
        # The first row, clicked as a user does, then the menu key.
        x, y, w, h = grid.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(x + 60), str(y + 40), "click", "1"], env=env, check=True)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "Menu"], env=env, check=True)

        def open_menu():
            for depth, node, role, name, showing in walk(application()):
                if role == "popup menu" and name == "Auswahl" and showing:
                    return [n for _, _, r, n, s in walk(node) if r == "menu item" and s]
            return None

        entries = wait_for(open_menu, 10)
        if not entries:
            print("Das Kontextmenü der Liste fehlt im Baum der Bedienungshilfen.")
            return 1
        print("Kontextmenü im Baum:", " | ".join(entries))
        missing = [e for e in ("Rechnung als PDF…", "Zur Auktion", "Alle markieren") if e not in entries]
        subprocess.run(["xdotool", "key", "Escape"], env=env, check=True)
        time.sleep(0.3)
        unnamed = [f"{role} in {parent}" for _, node, role, name, showing in walk(application())
                   if showing and role in NAMED_ROLES and not named(node)
                   for parent in [node.parent.getRoleName() if node.parent else "?"]]
        # Cells of the list are read by their column, not by a name of their own.
        unnamed = [u for u in unnamed if not u.endswith("in table")]
        if missing:
            print("Es fehlen Einträge:", ", ".join(missing))
        if unnamed:
            print("Ohne Namen für einen Bildschirmleser:", "; ".join(sorted(set(unnamed))))
        return 1 if missing or unnamed else 0
    finally:
        for p in reversed(procs):
            p.terminate()
        for p in procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
