#!/usr/bin/env python3
"""Fault campaign: drives kordenet-standin and orv-cli through network faults,
kills and failing stores, then checks after a clean run that the store holds
exactly the stand-in's items, none twice.

Standard library only. See README.md beside this file.
"""

import argparse
import collections
import os
import random
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

ALREADY_RUNNING = "Обмен с сервером уже идёт, дождитесь его окончания."
BANNER = re.compile(
    r"listening on http://127\.0\.0\.1:(\d+) \(user (\S+), password (\S+), "
    r"(\d+) posts, (\d+) comments\)"
)
REQUEST_LINE = re.compile(r"^request (\d+) POST (\S+) TYPE ?(.*)$")

# Query types of the offline protocol, as the stand-in logs them.
QUERY_NAMES = {
    "9": "posts list",
    "19": "post batch",
    "12": "comments of a post",
    "7": "comments list",
    "17": "comment batch",
    "10": "privates",
    "5": "friends",
    "11": "smileys",
}
# Phases of a receive run that a fault is aimed at, by query type.
PHASES = [
    ("posts-list", "9"),
    ("post-batch", "19"),
    ("comments-list", "7"),
    ("comment-batch", "17"),
    ("privates", "10"),
    ("friends", "5"),
]
NETWORK_FAULTS = ["http500", "garbage", "truncated", "errorpage", "warning", "silent", "drop"]
# Faults whose answer never reaches the client intact. The stand-in, like the
# service, marks private messages read when it builds the answer, so privates
# hit by one of these are gone at the service and no client can get them back.
CONTENT_LOST = {"http500", "garbage", "truncated", "errorpage", "silent", "drop", "trickle"}
# Each silent or trickling exchange costs the client's whole exchange deadline.
SLOW_FAULTS = {"silent", "trickle"}

CLIENT_SETTINGS = [
    ("UserName", "demo"),
    ("Password", "demo"),
    ("MaxPost", "100000"),
    ("PostsToGetPerOneSession", "10"),
    ("CommentsToGetPerOneSession", "25"),
]

# Requests to 127.0.0.1 must not go through a proxy from the environment.
LOCAL = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class SetupError(Exception):
    pass


def describe(query_type):
    return QUERY_NAMES.get(query_type, "type " + (query_type or "?"))


# --------------------------------------------------------------------------
# Processes


class Standin:
    """One kordenet-standin process; its request log goes to a file."""

    def __init__(self, bin_dir, seed_posts, directory):
        self.log_path = os.path.join(directory, "standin.log")
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(
            [os.path.join(bin_dir, "kordenet-standin"), "--seed", str(seed_posts), "--port", "0"],
            stdin=subprocess.DEVNULL,
            stdout=self._log,
            stderr=subprocess.STDOUT,
        )
        deadline = time.monotonic() + 15
        while True:
            match = BANNER.search(self._text())
            if match:
                break
            if self.proc.poll() is not None:
                self.stop()
                raise SetupError("kordenet-standin ended at start: " + self._text().strip())
            if time.monotonic() > deadline:
                self.stop()
                raise SetupError("kordenet-standin printed no port within 15 s")
            time.sleep(0.05)
        self.port = int(match.group(1))
        self.posts = int(match.group(4))
        self.comments = int(match.group(5))
        self.url = "http://127.0.0.1:%d" % self.port

    def _text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def fault(self, name, count=-1, delay=0, skip=0):
        body = urllib.parse.urlencode(
            {"fault": name, "count": count, "delay": delay, "skip": skip}
        ).encode()
        request = urllib.request.Request(self.url + "/control", data=body, method="POST")
        with LOCAL.open(request, timeout=10) as reply:
            answer = reply.read()
        if answer != b"ok":
            raise SetupError("the stand-in refused fault %s: %r" % (name, answer))

    def requests(self):
        """Query types of the requests served so far, in order."""
        types = []
        for line in self._text().splitlines():
            match = REQUEST_LINE.match(line.strip())
            if match:
                types.append(match.group(3).strip())
        return types

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self._log.close()


class Run:
    """One orv-cli process with its output in files."""

    def __init__(self, bin_dir, folder, args, out_prefix):
        self.out_path = out_prefix + ".out"
        self.err_path = out_prefix + ".err"
        self._out = open(self.out_path, "wb")
        self._err = open(self.err_path, "wb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(
            [os.path.join(bin_dir, "orv-cli"), "--folder", folder] + args,
            stdin=subprocess.DEVNULL,
            stdout=self._out,
            stderr=self._err,
        )
        self.rc = None
        self.seconds = None
        self.hung = False
        self.killed = False

    def wait(self, timeout):
        try:
            self.rc = self.proc.wait(max(0.0, timeout - (time.monotonic() - self.started)))
        except subprocess.TimeoutExpired:
            self.hung = True
            self.proc.kill()
            self.rc = self.proc.wait(10)
        return self._finish()

    def kill(self):
        """SIGKILL now; False when it had ended already."""
        alive = self.proc.poll() is None
        if alive:
            self.proc.send_signal(signal.SIGKILL)
            self.killed = True
        self.rc = self.proc.wait(10)
        self._finish()
        return alive

    def _finish(self):
        if self.seconds is None:
            self.seconds = time.monotonic() - self.started
            self._out.close()
            self._err.close()
        return self

    def output(self):
        text = ""
        for path in (self.out_path, self.err_path):
            with open(path, "rb") as f:
                text += f.read().decode("utf-8", "replace")
        return text

    def status(self):
        if self.hung:
            return "hung"
        if self.killed:
            return "KILL"
        return str(self.rc)


# --------------------------------------------------------------------------
# The store


class Snapshot:
    def __init__(self, db_path):
        self.error = None
        self.posts = collections.Counter()  # PostID of rows not deleted
        self.post_rows = collections.Counter()  # PostID of every row
        self.comments = collections.Counter()
        self.comment_rows = collections.Counter()
        self.privates = collections.Counter()  # (uName, Message) received
        self.book = collections.Counter()  # (Nick, Status)
        self.integrity = "?"
        self.pending = collections.Counter()  # tmp_MessagesToGet (Type, ErrCode)
        if not os.path.exists(db_path):
            self.error = "no database.mdb"
            return
        try:
            con = sqlite3.connect("file:%s?mode=ro" % db_path, uri=True, timeout=30)
            try:
                self._read(con)
            finally:
                con.close()
        except sqlite3.Error as e:
            self.error = "unreadable: %s" % e

    def _read(self, con):
        def rows(sql):
            return con.execute(sql).fetchall()

        self.integrity = "; ".join(r[0] for r in rows("PRAGMA integrity_check"))
        for post_id, deleted in rows("SELECT PostID, Deleted FROM Posts"):
            self.post_rows[str(post_id)] += 1
            if deleted == 0:
                self.posts[str(post_id)] += 1
        for comment_id, deleted in rows("SELECT CommentID, Deleted FROM Comments"):
            self.comment_rows[str(comment_id)] += 1
            if deleted == 0:
                self.comments[str(comment_id)] += 1
        for name, message in rows(
            "SELECT uName, Message FROM PrivateMessages WHERE Out = 0 AND Deleted = 0"
        ):
            self.privates[(name, message)] += 1
        for nick, status in rows("SELECT Nick, Status FROM AddressBook"):
            self.book[(nick, status)] += 1
        for kind, code in rows("SELECT Type, ErrCode FROM tmp_MessagesToGet"):
            self.pending[(kind, code)] += 1

    def pending_text(self):
        if not self.pending:
            return "0"
        return ", ".join(
            "%s%s:%d" % (kind, "/" + code if code else "", n)
            for (kind, code), n in sorted(self.pending.items(), key=str)
        )


def duplicates(counter):
    return sum(n - 1 for n in counter.values() if n > 1)


class Expected:
    def __init__(self, snapshot):
        self.posts = set(snapshot.posts)
        self.comments = set(snapshot.comments)
        self.privates = collections.Counter(snapshot.privates)
        self.book = set(snapshot.book)


class Comparison:
    """Differences between a store and the expected items."""

    def __init__(self, snapshot, expected, privates_consumed=False):
        self.snapshot = snapshot
        s = snapshot
        self.posts = (
            expected.posts - set(s.posts),
            duplicates(s.post_rows),
            set(s.posts) - expected.posts,
        )
        self.comments = (
            expected.comments - set(s.comments),
            duplicates(s.comment_rows),
            set(s.comments) - expected.comments,
        )
        missing_privates = expected.privates - s.privates
        self.privates_consumed = 0
        if privates_consumed:
            self.privates_consumed = sum(missing_privates.values())
            missing_privates = collections.Counter()
        self.privates = (missing_privates, s.privates - expected.privates)
        self.book = (expected.book - set(s.book), duplicates(s.book), set(s.book) - expected.book)

    def ok(self):
        s = self.snapshot
        return (
            s.error is None
            and s.integrity == "ok"
            and not any(self.posts)
            and not any(self.comments)
            and not any(self.privates)
            and not any(self.book)
        )

    def cells(self):
        def triple(t):
            return "%d/%d/%d" % (len(t[0]), t[1], len(t[2]))

        privates = "%d/%d" % (sum(self.privates[0].values()), sum(self.privates[1].values()))
        if self.privates_consumed:
            privates += " (%dc)" % self.privates_consumed
        integrity = self.snapshot.error or (
            "ok" if self.snapshot.integrity == "ok" else "BAD"
        )
        return [triple(self.posts), triple(self.comments), privates, triple(self.book), integrity]

    def details(self):
        out = []
        s = self.snapshot
        if s.error:
            out.append("store: " + s.error)
        if s.integrity not in ("ok", "?"):
            out.append("integrity_check: " + s.integrity[:200])

        def ids(label, t):
            missing, dup, extra = t
            if missing:
                out.append("%s missing %d: %s" % (label, len(missing), sample(missing)))
            if dup:
                out.append("%s stored twice: %d extra rows" % (label, dup))
            if extra:
                out.append("%s not at the stand-in %d: %s" % (label, len(extra), sample(extra)))

        ids("posts", self.posts)
        ids("comments", self.comments)
        missing, extra = self.privates
        if missing:
            out.append("privates missing %d, from: %s" % (sum(missing.values()), senders(missing)))
        if extra:
            out.append("privates extra or twice %d, from: %s" % (sum(extra.values()), senders(extra)))
        if self.privates_consumed:
            out.append(
                "privates %d lost at the stand-in (a broken answer to the privates "
                "request marked them read); not counted" % self.privates_consumed
            )
        ids("friends-list entries", self.book)
        return out


def senders(privates):
    return ", ".join(sorted(name for (name, _), n in privates.items() for _ in range(n)))


def sample(items, n=8):
    items = sorted(items, key=lambda x: (len(str(x)), str(x)))
    text = ", ".join(str(i) for i in items[:n])
    return text + (", ..." if len(items) > n else "")


# --------------------------------------------------------------------------
# Scenarios


class Result:
    def __init__(self, name):
        self.name = name
        self.fault_status = "-"
        self.fault_seconds = None
        self.clean_statuses = []
        self.comparison = None
        self.notes = []
        self.problems = []  # reasons for FAIL beyond the store comparison
        self.seconds = 0.0

    @property
    def passed(self):
        return (
            not self.problems
            and self.comparison is not None
            and self.comparison.ok()
            and self.clean_statuses[-1:] == ["0"]
        )


class Campaign:
    def __init__(self, args, workdir):
        self.args = args
        self.bin = args.bin
        self.workdir = workdir
        self.expected = None
        self.reference_types = []
        self.reference_seconds = 0.0
        self.counter = 0

    # --- helpers ---

    def new_dir(self, name):
        self.counter += 1
        slug = re.sub(r"[^A-Za-z0-9=+.-]+", "_", name).strip("_")[:60]
        path = os.path.join(self.workdir, "%03d-%s" % (self.counter, slug))
        os.makedirs(path)
        return path

    def prepare_folder(self, directory, standin):
        folder = os.path.join(directory, "orv")
        os.makedirs(folder)
        for key, value in [("ServiceURL", standin.url)] + CLIENT_SETTINGS:
            run = Run(self.bin, folder, ["set", key, value], os.path.join(directory, "set"))
            run.wait(30)
            if run.rc != 0:
                raise SetupError("orv-cli set %s failed (%s): %s" % (key, run.status(), run.output()))
        return folder

    def receive(self, directory, folder, label, timeout=None):
        run = Run(self.bin, folder, ["--answer", "no", "receive"], os.path.join(directory, label))
        return run.wait(timeout or self.args.timeout)

    def start_receive(self, directory, folder, label):
        return Run(self.bin, folder, ["--answer", "no", "receive"], os.path.join(directory, label))

    # --- the reference ---

    def reference(self):
        directory = self.new_dir("reference")
        standin = Standin(self.bin, self.args.seed_posts, directory)
        try:
            folder = self.prepare_folder(directory, standin)
            run = self.receive(directory, folder, "receive")
            self.reference_types = standin.requests()
            snapshot = Snapshot(os.path.join(folder, "database.mdb"))
        finally:
            standin.stop()
        problems = []
        if run.rc != 0:
            problems.append("the clean receive exited %s" % run.status())
        if snapshot.error or snapshot.integrity != "ok":
            problems.append("store: %s" % (snapshot.error or snapshot.integrity))
        if len(snapshot.posts) != standin.posts or standin.posts != self.args.seed_posts:
            problems.append(
                "posts: %d stored, %d at the stand-in, %d seeded"
                % (len(snapshot.posts), standin.posts, self.args.seed_posts)
            )
        if len(snapshot.comments) != standin.comments or not snapshot.comments:
            problems.append(
                "comments: %d stored, %d at the stand-in" % (len(snapshot.comments), standin.comments)
            )
        if duplicates(snapshot.post_rows) or duplicates(snapshot.comment_rows):
            problems.append("items stored twice in the reference")
        if not snapshot.privates:
            problems.append("no private messages")
        if not snapshot.book or duplicates(snapshot.book):
            problems.append("friends list empty or doubled")
        if not self.reference_types:
            problems.append("no requests in the stand-in's log")
        if problems:
            raise SetupError("reference run unusable (%s): %s" % (directory, "; ".join(problems)))
        self.expected = Expected(snapshot)
        self.reference_seconds = run.seconds
        self.reference_db = os.path.join(folder, "database.mdb")
        print(
            "reference: %d posts, %d comments, %d privates, %d friends-list entries; "
            "%d requests, %.1f s"
            % (
                len(self.expected.posts),
                len(self.expected.comments),
                sum(self.expected.privates.values()),
                len(self.expected.book),
                len(self.reference_types),
                run.seconds,
            )
        )

    def check_comparator(self):
        """The comparison must see planted losses; a comparison that cannot fail
        would make every scenario pass."""
        plants = [
            ("none", None),
            ("post lost", "DELETE FROM Posts WHERE ThisID = (SELECT MIN(ThisID) FROM Posts)"),
            ("post deleted", "UPDATE Posts SET Deleted = 1 WHERE ThisID = (SELECT MAX(ThisID) FROM Posts)"),
            ("comment twice", "INSERT INTO Comments (CommentID, PostID) SELECT CommentID, PostID FROM Comments LIMIT 1"),
            ("comment lost", "DELETE FROM Comments WHERE ThisID = (SELECT MAX(ThisID) FROM Comments)"),
            ("private lost", "DELETE FROM PrivateMessages WHERE ID = (SELECT MIN(ID) FROM PrivateMessages)"),
            ("private twice", "INSERT INTO PrivateMessages (uName, Message) SELECT uName, Message FROM PrivateMessages LIMIT 1"),
            ("friend twice", "INSERT INTO AddressBook (Nick, Status) SELECT Nick, Status FROM AddressBook LIMIT 1"),
            ("foreign post", "INSERT INTO Posts (PostID) VALUES ('999999999')"),
        ]
        directory = self.new_dir("comparator-check")
        wrong = []
        for label, sql in plants:
            path = os.path.join(directory, "copy.mdb")
            shutil.copyfile(self.reference_db, path)
            if sql:
                con = sqlite3.connect(path)
                con.execute(sql)
                con.commit()
                con.close()
            ok = Comparison(Snapshot(path), self.expected).ok()
            if ok != (sql is None):
                wrong.append(label)
            os.remove(path)
        if wrong:
            raise SetupError("the comparison misjudged planted changes: " + ", ".join(wrong))
        shutil.rmtree(directory)
        print("comparator check: %d planted changes all seen" % (len(plants) - 1))

    # --- planning ---

    def phase_indices(self, query_type):
        return [i for i, t in enumerate(self.reference_types) if t == query_type]

    def plan(self, rng):
        quick = self.args.quick
        plan = []
        n = len(self.reference_types)

        # 1. a fault on every request
        for fault in NETWORK_FAULTS:
            if fault == "silent":
                if quick:
                    continue
                # 60 s per exchange: only the last two (privates, friends) stay silent.
                skip = max(0, n - 2)
                plan.append(
                    ("1 silent from #%d (privates, friends)" % (skip + 1),
                     self.network_fault, dict(fault=fault, count=-1, skip=skip))
                )
            else:
                plan.append(("1 %s every request" % fault, self.network_fault,
                             dict(fault=fault, count=-1, skip=0)))

        # 2. a fault after N good requests, once or from then on
        for number, fault in enumerate(NETWORK_FAULTS):
            targets = []
            for phase, query_type in PHASES:
                indices = self.phase_indices(query_type)
                if not indices:
                    continue
                if phase == "post-batch":
                    # the first batches: N in 1..15 as far as there are batches
                    early = [i for i in indices if 1 <= i <= 15] or indices
                    targets.append((phase, rng.choice(early)))
                else:
                    targets.append((phase, rng.choice(indices)))
            if fault == "silent":
                if quick:
                    continue
                targets = [t for t in targets if t[0] in ("post-batch", "comment-batch")]
                counts = [1]  # from then on would wait 60 s on every later exchange
            else:
                counts = [1, -1]
            if quick:
                # one phase a fault, in turn, past the posts list
                targets = [targets[1 + number % (len(targets) - 1)]] if len(targets) > 1 else targets
                counts = [1]
            for phase, skip in targets:
                for count in counts:
                    if phase == "posts-list" and count == -1:
                        continue  # that is scenario 1
                    plan.append(
                        ("2 %s %s @%s N=%d" % (fault, "once" if count == 1 else "from", phase, skip),
                         self.network_fault, dict(fault=fault, count=count, skip=skip))
                    )

        # 3. SIGKILL during a slowed-down receive
        delay = 50
        estimate = n * delay / 1000.0 + self.reference_seconds
        for i in range(3 if quick else self.args.kills):
            moment = round(rng.uniform(0.1, max(0.2, estimate * 0.95)), 2)
            plan.append(("3 SIGKILL at %.2fs (delay %dms)" % (moment, delay), self.sigkill,
                         dict(moment=moment, delay=delay)))

        # 4. the storing transaction fails
        for table in ("Comments", "Posts"):
            plan.append(("4 store fails: INSERT %s" % table, self.failing_store, dict(table=table)))

        # 5. two receives on one folder at once
        for i in range(1 if quick else 3):
            offset = round(rng.uniform(0.0, 0.3), 3)
            plan.append(("5 two receives, +%dms" % (offset * 1000), self.two_at_once,
                         dict(offset=offset, delay=20)))

        # 6. an answer that trickles and never ends
        if not quick:
            plan.append(("6 trickle 1 B/s @N=1", self.trickle, dict(skip=1, delay=1000)))
        return plan

    # --- running ---

    def run_scenario(self, name, body, params):
        result = Result(name)
        started = time.monotonic()
        directory = self.new_dir(name)
        standin = None
        try:
            standin = Standin(self.bin, self.args.seed_posts, directory)
            folder = self.prepare_folder(directory, standin)
            consumed = body(result, directory, standin, folder, **params)
            standin.fault("none")
            for attempt in (1, 2):
                run = self.receive(directory, folder, "clean%d" % attempt)
                result.clean_statuses.append(run.status())
                result.comparison = Comparison(
                    Snapshot(os.path.join(folder, "database.mdb")),
                    self.expected,
                    privates_consumed=consumed and not self.args.strict_privates,
                )
                if result.comparison.ok() and run.rc == 0:
                    break
            if result.clean_statuses[-1] != "0":
                result.problems.append("the last clean receive exited %s" % result.clean_statuses[-1])
            pending = result.comparison.snapshot.pending_text()
            if pending != "0":
                result.notes.append("left on the fetch stack after the clean run: " + pending)
        except (SetupError, OSError, sqlite3.Error, urllib.error.URLError) as e:
            result.problems.append("campaign error: %s" % e)
        finally:
            if standin:
                standin.stop()
        result.seconds = time.monotonic() - started
        if result.passed and not self.args.keep:
            shutil.rmtree(directory, ignore_errors=True)
        else:
            result.notes.append("files: " + directory)
        return result

    def hits(self, standin, skip, count):
        """What the fault hit in this run, by the stand-in's log; whether it hit the privates."""
        types = standin.requests()
        last = len(types) if count < 0 else min(len(types), skip + count)
        hit = types[skip:last]
        if not hit:
            return None, False
        if len(hit) == 1:
            text = "#%d %s" % (skip + 1, describe(hit[0]))
        else:
            kinds = []
            for t in hit:
                if describe(t) not in kinds:
                    kinds.append(describe(t))
            text = "#%d-#%d (%s)" % (skip + 1, skip + len(hit), ", ".join(kinds))
        return text, "10" in hit

    def fault_run(self, result, directory, folder, timeout=None):
        run = self.receive(directory, folder, "fault", timeout)
        result.fault_status = run.status()
        result.fault_seconds = run.seconds
        if run.hung:
            result.problems.append("the faulty receive did not end within %d s" % (timeout or self.args.timeout))
        return run

    def network_fault(self, result, directory, standin, folder, fault, count, skip):
        standin.fault(fault, count=count, skip=skip)
        self.fault_run(result, directory, folder)
        hit, privates = self.hits(standin, skip, count)
        if hit is None:
            result.problems.append("the fault was never played: the run made %d requests" % len(standin.requests()))
            return False
        result.notes.append("hit " + hit)
        return privates and fault in CONTENT_LOST

    def sigkill(self, result, directory, standin, folder, moment, delay):
        standin.fault("delay", count=-1, delay=delay)
        run = self.start_receive(directory, folder, "fault")
        time.sleep(moment)
        seen = standin.requests()
        if run.kill():
            where = "#%d %s" % (len(seen), describe(seen[-1])) if seen else "before the first request"
            result.notes.append("killed during " + where)
        else:
            result.notes.append("ended (%d) before the kill" % run.rc)
        result.fault_status = run.status()
        result.fault_seconds = run.seconds
        # A kill while the privates answer was on its way loses them at the stand-in.
        return bool(seen) and seen[-1] == "10"

    def failing_store(self, result, directory, standin, folder, table):
        db = os.path.join(folder, "database.mdb")
        con = sqlite3.connect(db, timeout=30)
        con.execute(
            "CREATE TRIGGER campaign_fail BEFORE INSERT ON %s "
            "BEGIN SELECT RAISE(ABORT, 'campaign: store fails'); END" % table
        )
        con.commit()
        con.close()
        self.fault_run(result, directory, folder)
        con = sqlite3.connect(db, timeout=30)
        con.execute("DROP TRIGGER campaign_fail")
        con.commit()
        con.close()
        return False

    def two_at_once(self, result, directory, standin, folder, offset, delay):
        # A small delay on every request makes the two runs overlap for sure.
        standin.fault("delay", count=-1, delay=delay)
        first = self.start_receive(directory, folder, "first")
        time.sleep(offset)
        second = self.start_receive(directory, folder, "second")
        first.wait(self.args.timeout)
        second.wait(self.args.timeout)
        result.fault_status = "%s,%s" % (first.status(), second.status())
        result.fault_seconds = max(first.seconds, second.seconds)
        refused = [label for label, run in (("first", first), ("second", second))
                   if ALREADY_RUNNING in run.output()]
        result.notes.append("refused: " + (", ".join(refused) if refused else "neither"))
        for label, run in (("first", first), ("second", second)):
            if run.hung:
                result.problems.append("the %s receive did not end within %d s" % (label, self.args.timeout))
        return False

    def trickle(self, result, directory, standin, folder, skip, delay):
        standin.fault("trickle", count=1, delay=delay, skip=skip)
        self.fault_run(result, directory, folder, timeout=self.args.trickle_timeout)
        hit, privates = self.hits(standin, skip, 1)
        result.notes.append("hit %s; the faulty run took %.1f s" % (hit, result.fault_seconds))
        return privates


# --------------------------------------------------------------------------
# Report

COLUMNS = ["scenario", "fault rc", "secs", "clean rc", "posts m/d/x", "comments m/d/x",
           "privates m/x", "friends m/d/x", "integrity", "verdict", "note"]


def row(result):
    cells = [result.name, result.fault_status,
             "%.1f" % result.fault_seconds if result.fault_seconds is not None else "-",
             ",".join(result.clean_statuses) or "-"]
    if result.comparison:
        cells += result.comparison.cells()
    else:
        cells += ["-"] * 5
    cells.append("PASS" if result.passed else "FAIL")
    notes = [n for n in result.notes if not n.startswith("files: ")]
    cells.append("; ".join(notes))
    return cells


def print_table(results):
    rows = [COLUMNS] + [row(r) for r in results]
    widths = [max(len(r[i]) for r in rows) for i in range(len(COLUMNS) - 1)]
    for cells in rows:
        line = "  ".join(c.ljust(w) for c, w in zip(cells, widths))
        print(line + "  " + cells[-1])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(
        description="Fault campaign against kordenet-standin and orv-cli: after every fault, "
        "a clean receive must leave exactly the stand-in's items in the store, none twice."
    )
    parser.add_argument("--bin", default=os.path.normpath(os.path.join(here, "..", "..", "build", "bin")),
                        help="folder with kordenet-standin and orv-cli (default: build/bin)")
    parser.add_argument("--seed-posts", type=int, default=200, help="posts in the stand-in's data set")
    parser.add_argument("--quick", action="store_true",
                        help="a small subset, without the slow silent and trickle scenarios")
    parser.add_argument("--only", metavar="REGEX", help="run only the scenarios whose name matches")
    parser.add_argument("--random-seed", type=int, default=1,
                        help="seed for the fault positions and kill moments (default 1)")
    parser.add_argument("--kills", type=int, default=10, help="SIGKILL scenarios (default 10)")
    parser.add_argument("--timeout", type=float, default=180, help="limit for one orv-cli run, s")
    parser.add_argument("--trickle-timeout", type=float, default=120,
                        help="limit for the trickled run, s (the client's deadline is 60 s)")
    parser.add_argument("--strict-privates", action="store_true",
                        help="count privates lost at the stand-in by a broken answer as missing")
    parser.add_argument("--workdir", help="where scenario folders go (default: a new temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the folders of passed scenarios too")
    args = parser.parse_args()
    if args.seed_posts < 1:
        parser.error("--seed-posts must be at least 1")
    for program in ("kordenet-standin", "orv-cli"):
        if not os.access(os.path.join(args.bin, program), os.X_OK):
            parser.error("no executable %s in %s" % (program, args.bin))

    workdir = args.workdir or tempfile.mkdtemp(prefix="orv-fault-campaign-")
    os.makedirs(workdir, exist_ok=True)
    started = time.monotonic()
    print("fault campaign: bin %s, %d posts, random seed %d%s; files in %s"
          % (args.bin, args.seed_posts, args.random_seed, ", quick" if args.quick else "", workdir))
    campaign = Campaign(args, workdir)
    try:
        campaign.reference()
        campaign.check_comparator()
    except SetupError as e:
        print("SETUP FAILED: %s" % e)
        return 2
    plan = campaign.plan(random.Random(args.random_seed))
    if args.only:
        plan = [p for p in plan if re.search(args.only, p[0])]
    results = []
    for i, (name, body, params) in enumerate(plan, 1):
        result = campaign.run_scenario(name, body, params)
        results.append(result)
        print("[%3d/%d] %-44s %s  %.1f s" % (i, len(plan), name, "PASS" if result.passed else "FAIL",
                                             result.seconds), flush=True)

    print()
    print_table(results)
    failed = [r for r in results if not r.passed]
    if failed:
        print()
        print("Differences:")
        for r in failed:
            print("- " + r.name)
            for line in r.problems + (r.comparison.details() if r.comparison else []) + \
                    [n for n in r.notes if n.startswith("files: ")]:
                print("    " + line)
    print()
    print("m/d/x: missing / stored twice / not at the stand-in; (Nc): privates lost at the "
          "stand-in, not counted; clean rc: exit codes of the clean receives after the fault")
    print("%.0f s in all" % (time.monotonic() - started))
    print("%d passed, %d failed" % (len(results) - len(failed), len(failed)))
    if not failed and not args.keep and not args.workdir:
        shutil.rmtree(workdir, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
