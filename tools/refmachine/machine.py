"""A started copy of a reference machine template: its Wine session, changes planted before a run,
runs of programs on it, snapshots and the audit. Used by tests/e2e/refmachine.py and the demo."""
import json
import pathlib
import shutil
import time

from . import audit as auditing
from . import build as builder
from . import family, prefixcopy, snapshot, winestart


class Machine:
    """A started copy of a reference machine template."""

    def __init__(self, root, template, start=True):
        self.template = pathlib.Path(template)
        self.root = pathlib.Path(root)
        self.prefix = self.root / "prefix"
        self.root.mkdir(parents=True, exist_ok=True)
        prefixcopy.copy_prefix(self.template / "prefix", self.prefix)
        self.env = {"WINEPREFIX": str(self.prefix)}
        self.manifest, self.fresh = auditing.load_template(self.template)
        self.items = family.select(self.manifest["sections"], self.manifest["variant"])
        self.running = False
        self.before = None
        self._planted = []
        self._hku_deleted = []  # (key, value name or None) of the HKU rows a session ended without
        # HKLM as copied, read before the first session starts; dropped at the first change this
        # class makes to the registry (a plant, a deletion, a run).
        self._hklm_as_copied = snapshot.read_hklm(self.prefix)
        if start:
            self.start()

    # --- session ---------------------------------------------------------------------------
    def start(self, timeout=120):
        """Starts the machine's Wine session (which performs pending file operations): services
        start by themselves; HKU rows (Wine keeps them in memory only) are imported and the
        user-session programs that are still on disk started. Waits for the programs whose files
        exist and for those services to report running, up to two minutes: on a loaded machine the
        service manager can take long, and a service process that comes up only after the run would
        look like the tool's leftover. The audit names any that did not come up."""
        if self.running:
            return
        builder.start_session(self.prefix)
        self.running = True
        self._import_file(self.template / "session.reg")
        for rows in self._planted:
            self._import(rows)
        # What an earlier session of this machine had deleted there stays deleted, as on Windows.
        for key, name in self._hku_deleted:
            if name is None:
                self._wine("reg", "delete", key, "/f")
            else:
                self._wine("reg", "delete", key, *(("/ve",) if name == "" else ("/v", name)), "/f")
        for item in self.items:  # running services the manager does not start by itself
            if item.kind == "service" and item.session == "running" and item.attrs[1] > 2:
                self._wine("sc", "start", item.path)
        programs = [i.path for i in self.items if i.kind == "process" and self.path(i.path).is_file()]
        for path in programs:
            winestart.start(self.prefix, path, new_session=True)
        services = [i for i in self.items if i.kind == "service" and i.session == "running"]
        programs += [i.attrs[2].strip('"') for i in services]
        wanted = [p.lower() for p in programs if self.path(p).is_file()]
        # A service whose process is up may still be starting: a run then would race the service
        # manager, which goes on starting it after the run has looked.
        starting = [i.path for i in services if self.path(i.attrs[2].strip('"')).is_file()]
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            running = snapshot.processes(self.prefix)
            if all(p in running for p in wanted):
                started = self._running_services(starting)
                starting = [name for name in starting if name not in started]
                if not starting:
                    return
            time.sleep(0.2)

    def _running_services(self, names):
        """Those of `names` that report running (tests/helpers/service_states.cpp)."""
        if not names:
            return set()
        done = winestart.run(self.prefix, self.template.parents[1] / "service_states.exe", *names)
        rows = (line.split() for line in done.stdout.decode("utf-8", "replace").splitlines())
        return {row[0] for row in rows if len(row) == 2 and row[1] == "4"}  # SERVICE_RUNNING

    def stop(self, hku=None):
        """Ends the session (Wine writes the registry files as its server ends). The service
        accounts' HKU rows live only in the server: the ones this session ended without are noted
        first, so the next start, which imports the rows again, deletes them again. `hku`: an export
        of HKU the caller has just made (one regedit run fewer)."""
        if self.running:
            self._note_hku_deletions(hku)
        snapshot.stop_server(self.prefix)
        self.running = False

    def _session_rows(self):
        """{lower key: (key, {lower name: …})} of the HKU rows every start imports."""
        files = [self.template / "session.reg"]
        for n, rows in enumerate(self._planted):
            files.append(self.root / f"hku-rows{n}.reg")
            builder.write_reg(files[-1], rows)
        expected = {}
        for path in files:
            raw = path.read_bytes()
            text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
            for key, (name, values) in snapshot.parse_reg(text, "", wine_format=False).items():
                if key.startswith("hkey_users\\"):
                    entry = expected.setdefault("hku" + key[len("hkey_users"):], ("HKU" + name[len("HKEY_USERS"):], {}))
                    entry[1].update(values)
                    # Keys on the way (made by the import, with no row of their own) count too.
                    parts = entry[0].split("\\")
                    for depth in range(3, len(parts)):
                        parent = "\\".join(parts[:depth])
                        expected.setdefault(parent.lower(), (parent, {}))
        return expected

    def _note_hku_deletions(self, live=None):
        live = live or snapshot.export_hku(self.prefix)
        if not live:  # no export: keep what was noted before
            return
        deleted = []
        for key, (name, values) in self._session_rows().items():
            if key not in live:
                deleted.append((name, None))
            else:
                deleted += [(name, v[0]) for lower, v in values.items() if lower not in live[key][1]]
        self._hku_deleted = deleted

    def remove(self):
        snapshot.stop_server(self.prefix)
        self.running = False
        shutil.rmtree(self.root / "prefix", ignore_errors=True)

    def _export_hku(self):
        hku = snapshot.export_hku(self.prefix)
        if not hku:  # HKU always holds the user's and the default hive: an empty one is a failed export
            raise AssertionError("regedit could not export HKEY_USERS")
        return hku

    def _wine(self, *args, timeout=120):
        return winestart.run(self.prefix, *args, timeout=timeout)

    def _import(self, rows):
        path = self.root / f"plant{len(list(self.root.glob('plant*.reg')))}.reg"
        builder.write_reg(path, rows)
        self._import_file(path)

    def _import_file(self, path):
        if not snapshot.import_reg(self.prefix, path):
            raise AssertionError(f"regedit could not import {path}")

    # --- changes made before the run -------------------------------------------------------
    def plant_registry(self, key, name, data, type="sz"):
        """Writes one value (family.py's roots: "HKLM/32\\SOFTWARE\\…", "HKU\\S-1-5-18\\…")."""
        self._hklm_as_copied = None
        root, sub = builder.split_item_key(key)
        rows = {builder.physical(root, sub): [(name, data, type)]}
        if root == "HKU":
            self._planted.append(rows)  # Wine does not keep HKU across sessions
        self.start()
        self._import(rows)

    def delete_registry(self, key, name=None):
        """Deletes a value, or a whole key when no name is given."""
        self._hklm_as_copied = None
        root, sub = builder.split_item_key(key)
        physical = builder.physical(root, sub)
        self.start()
        if name is None:
            self._wine("reg", "delete", physical, "/f")
        else:
            self._wine("reg", "delete", physical, "/v", name, "/f")

    def plant_registry_link(self, key, target):
        """Creates a registry link at `key` (an HKLM key, physical view) to `target` ("HKLM\\…"),
        inside the machine's session: only the server makes links (regedit has no form for them)."""
        self._hklm_as_copied = None
        root, sub = builder.split_item_key(key)
        physical = builder.physical(root, sub)
        assert physical.startswith("HKEY_LOCAL_MACHINE\\") and target.startswith("HKLM\\"), (key, target)
        self.start()
        helper = self.template.parents[1] / "make_reg_link.exe"
        done = self._wine(helper, physical[len("HKEY_LOCAL_MACHINE\\"):],
                          "\\Registry\\Machine\\" + target[len("HKLM\\"):])
        assert done.returncode == 0, (key, target, done.returncode)

    def path(self, windows_path):
        """The unix path of a Windows path on this machine."""
        return builder.unix_path(self.prefix, windows_path)

    def plant_file(self, windows_path, content=None):
        """Writes a file; an .exe without content is a copy of the stand-in program."""
        target = self.path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.unlink(missing_ok=True)  # a new file, never a write through a link to the template's
        if content is None and windows_path.lower().endswith(".exe"):
            shutil.copyfile(self.template.parents[1] / "product_stub.exe", target)
        else:
            content = b"" if content is None else content
            target.write_bytes(content.encode() if isinstance(content, str) else content)
        return target

    # --- the run and the audit -------------------------------------------------------------
    def snapshot(self):
        """A snapshot of the running machine; it is running again afterwards."""
        self.start()
        procs, hku = snapshot.processes(self.prefix), self._export_hku()
        self.stop(hku)
        registry = dict(hku)
        registry.update(snapshot.read_hklm(self.prefix))
        snap = snapshot.Snapshot(registry, snapshot.walk_files(self.prefix), procs)
        self.start()
        return snap

    def first_snapshot(self):
        """The 'before' snapshot of the running machine, whose session goes on running. While this
        class has changed nothing in its registry, HKLM is the one read before the first start (a
        start writes only Wine's churn there, which the audit passes over); otherwise the session
        saves it (the server writes system.reg only when it ends)."""
        self.start()
        procs, hku = snapshot.processes(self.prefix), self._export_hku()
        registry = dict(hku)
        registry.update(self._hklm_as_copied if self._hklm_as_copied is not None else self._saved_hklm())
        return snapshot.Snapshot(registry, snapshot.walk_files(self.prefix), procs)

    def _saved_hklm(self):
        """HKLM as the running session holds it, in system.reg's form (tests/helpers/save_hklm.cpp)."""
        target = self.root / "hklm.reg"
        target.unlink(missing_ok=True)  # the helper writes a new file only
        done = self._wine(self.template.parents[1] / "save_hklm.exe", builder.zpath(target))
        if done.returncode != 0:
            raise AssertionError(f"save_hklm could not save HKLM ({done.returncode})")
        return snapshot.parse_reg(target.read_text("utf-8", "replace"), "HKLM", wine_format=True)

    def run(self, exe, *args, timeout=300, launcher=()):
        """Runs a program on the machine: (exit code cut to 8 bits, stdout, stderr). The first run
        takes the 'before' snapshot. `launcher`: a command the program runs under (`nice`, …)."""
        if self.before is None:
            self.before = self.first_snapshot()
        self._hklm_as_copied = None
        self.start()
        proc = winestart.run(self.prefix, exe, *args, timeout=timeout, launcher=launcher)
        return proc.returncode, proc.stdout.decode("utf-8", "replace"), proc.stderr.decode("utf-8", "replace")

    def audit(self, removed=(), before=None, skip=()):
        """Checks the running machine (a stopped one is started first) against the data; it is
        stopped afterwards (start() again to go on). Without a run, `before` is a snapshot taken
        now. `skip`: path fragments of items the scenario changed on purpose (not checked)."""
        if self.before is None:
            self.before = before or self.first_snapshot()
        self.start()
        procs, hku = self._settled_processes(removed), self._export_hku()
        self.stop(hku)
        registry = dict(hku)
        registry.update(snapshot.read_hklm(self.prefix))
        after = snapshot.Snapshot(registry, snapshot.walk_files(self.prefix), procs)
        report = auditing.audit(self.items, self.before, after, removed, self.manifest, self.fresh, skip)
        (self.root / "audit.json").write_text(json.dumps(report.data, indent=1))
        return report

    def _settled_processes(self, removed, grace=2.0):
        """The session's processes once the removed products' programs that are ending have ended:
        Windows counts a process gone when its last thread has ended, its Unix process ends a moment
        later (on a loaded machine, after the run has exited). One left running stays past the grace."""
        going = [i for i in self.items if i.removed_by in removed]
        images = {i.path.lower() for i in going if i.kind == "process"}
        images |= {i.attrs[2].strip('"').lower() for i in going if i.kind == "service" and i.session}
        deadline = time.monotonic() + grace
        while True:
            procs = snapshot.processes(self.prefix)
            if not images & procs.keys() or time.monotonic() >= deadline:
                return procs
            time.sleep(0.1)

    @property
    def log_file(self):
        return builder.unix_path(self.prefix, family.TOOL_LOG_DIR + r"\UninstallationTool.log")

    def generations(self):
        stem = self.log_file.with_suffix("")
        return [stem.with_suffix(".2.log"), stem.with_suffix(".1.log"), self.log_file]

    def log_text(self):
        """Every record the machine's tool log holds, across rotations, oldest first."""
        return "".join(g.read_bytes().decode("utf-8", "replace") for g in self.generations() if g.exists())
