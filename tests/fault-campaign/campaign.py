#!/usr/bin/env python3
"""Fault campaign: drives kordenet-standin and orv-cli through network faults,
kills and failing stores, while receiving and while sending the outbox, then
checks after a clean run that the store holds exactly the stand-in's items,
none twice, and that every message written into the outbox was published once.

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
    "3": "post send",
    "1": "comment send",
    "4": "private send",
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
    ("PostsToSendPerOneSession", "3"),
    ("CommentsToSendPerOneSession", "4"),
]

# What a send scenario writes into the outbox. With batches of 3 posts and 4
# comments (privates go in batches of the posts' size) a send run is 3 post,
# 3 comment and 2 private requests.
OUTBOX_POSTS = 8
OUTBOX_COMMENTS = 10
OUTBOX_PRIVATES = 4
SEND_PHASES = [("post-send", "3"), ("comment-send", "1"), ("private-send", "4")]
# The stand-in refuses a message identical to one it stored less than this
# many seconds ago (code 63); a resend later than that is stored again.
REPEAT_WINDOW = 60

# Requests to 127.0.0.1 must not go through a proxy from the environment.
LOCAL = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class SetupError(Exception):
    pass


def describe(query_type):
    """A request by its query types: "post batch", "post send x3"."""
    kinds = (query_type or "").split()
    if not kinds:
        return "type ?"
    name = QUERY_NAMES.get(kinds[0], "type " + kinds[0])
    return name if len(kinds) == 1 else "%s x%d" % (name, len(kinds))


def send_layout():
    """Query types of the requests of one send run of the campaign's outbox."""
    settings = dict(CLIENT_SETTINGS)
    posts = int(settings["PostsToSendPerOneSession"])
    comments = int(settings["CommentsToSendPerOneSession"])
    layout = []
    for count, size, kind in ((OUTBOX_POSTS, posts, "3"), (OUTBOX_COMMENTS, comments, "1"),
                              (OUTBOX_PRIVATES, posts, "4")):
        for start in range(0, count, size):
            layout.append(" ".join([kind] * min(size, count - start)))
    return layout


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
# The outbox


class Outbox:
    """Messages the campaign wrote into a folder's outbox, by their local key.
    Every text is unique at its stand-in, so it can be found again by text."""

    def __init__(self):
        self.posts = {}  # ThisID -> (Header, Message)
        self.comments = {}  # ThisID -> (PostID, Message)
        self.privates = {}  # ID -> (recipient, Message)

    def by_table(self):
        return (("Posts", "ThisID", self.posts), ("Comments", "ThisID", self.comments),
                ("PrivateMessages", "ID", self.privates))

    @staticmethod
    def write(db_path, tag, posts=OUTBOX_POSTS, comments=OUTBOX_COMMENTS, privates=OUTBOX_PRIVATES):
        """Rows as the client's editors write them: Sent = 0, a 'tmp' identifier.
        Comments go to posts of the store, privates to diary owners it knows."""
        outbox = Outbox()
        con = sqlite3.connect(db_path, timeout=30)
        try:
            targets = [r[0] for r in con.execute(
                "SELECT PostID FROM Posts WHERE Deleted = 0 AND Sent = 1 "
                "AND PostID GLOB '[1-9]*' ORDER BY ThisID")]
            buddies = [r[0] for r in con.execute(
                "SELECT DISTINCT Nick FROM AddressBook WHERE Status = 'BUDDY' ORDER BY Nick")]
            if not targets or not buddies:
                raise SetupError("%s has no post to comment on or no buddy to write to" % db_path)
            date = time.strftime("%Y-%m-%d %H:%M:%S")
            for i in range(1, posts + 1):
                header = "Проверка отправки %s, пост %d" % (tag, i)
                message = "Пост %d, сцена %s.\nВторая строка поста %d." % (i, tag, i)
                key = con.execute(
                    "INSERT INTO Posts (Message, Header, uName, New, Deleted, Sent, Messagedate, "
                    "out_ParseURL, out_Nocomment, out_Privatepost, out_Subscribe, PostID, JournalID) "
                    "VALUES (?, ?, 'demo', 0, 0, 0, ?, 0, 0, 0, 0, '', '')",
                    (message, header, date)).lastrowid
                con.execute("UPDATE Posts SET PostID = 'tmp' || ThisID WHERE ThisID = ?", (key,))
                outbox.posts[key] = (header, message)
            for i in range(1, comments + 1):
                post_id = targets[(i * 37) % len(targets)]
                message = "Комментарий %d, сцена %s, к посту %s." % (i, tag, post_id)
                key = con.execute(
                    "INSERT INTO Comments (Messagedate, Header, Message, uName, New, Deleted, Sent, "
                    "out_Subscribe, out_ParseURL, PostID, JournalID, CommentID) "
                    "VALUES (?, '', ?, 'demo', 0, 0, 0, 0, 0, ?, '', '')",
                    (date, message, post_id)).lastrowid
                con.execute("UPDATE Comments SET CommentID = 'tmp' || ThisID WHERE ThisID = ?", (key,))
                outbox.comments[key] = (post_id, message)
            for i in range(1, privates + 1):
                to = buddies[i % len(buddies)]
                message = "Личное сообщение %d, сцена %s." % (i, tag)
                key = con.execute(
                    "INSERT INTO PrivateMessages (Message, uName, New, Deleted, Sent, Messagedate, Out) "
                    "VALUES (?, ?, 0, 0, 0, ?, 1)", (message, to, date)).lastrowid
                outbox.privates[key] = (to, message)
            con.commit()
        finally:
            con.close()
        return outbox


class OutboxState:
    """Where the outbox's texts are in one store (the tested folder's, or a
    fresh folder's copy of the stand-in): the rows holding each text."""

    def __init__(self, db_path, outbox):
        self.error = None
        self.unsent = collections.Counter()  # table -> rows with Sent = 0 (outgoing ones)
        self.posts = collections.defaultdict(list)  # (Header, Message) -> [(Sent, Deleted)]
        self.comments = collections.defaultdict(list)  # (PostID, Message) -> [(Sent, Deleted)]
        self.privates = collections.defaultdict(list)  # (uName, Message) -> [(Sent, Deleted)]
        self.present = set()  # (table, key) of the written rows still there
        if not os.path.exists(db_path):
            self.error = "no database.mdb"
            return
        try:
            con = sqlite3.connect("file:%s?mode=ro" % db_path, uri=True, timeout=30)
            try:
                self._read(con, outbox)
            finally:
                con.close()
        except sqlite3.Error as e:
            self.error = "unreadable: %s" % e

    def _read(self, con, outbox):
        for table, condition in (("Posts", "Sent = 0"), ("Comments", "Sent = 0"),
                                 ("PrivateMessages", "Sent = 0 AND Out <> 0")):
            self.unsent[table] = con.execute(
                "SELECT COUNT(*) FROM %s WHERE %s" % (table, condition)).fetchone()[0]
        texts = set(outbox.posts.values())
        for header, message, sent, deleted in con.execute(
                "SELECT Header, Message, Sent, Deleted FROM Posts"):
            if (header, message) in texts:
                self.posts[(header, message)].append((sent, deleted))
        texts = set(outbox.comments.values())
        for post_id, message, sent, deleted in con.execute(
                "SELECT PostID, Message, Sent, Deleted FROM Comments"):
            if (str(post_id), message) in texts:
                self.comments[(str(post_id), message)].append((sent, deleted))
        texts = set(outbox.privates.values())
        for name, message, sent, deleted in con.execute(
                "SELECT uName, Message, Sent, Deleted FROM PrivateMessages WHERE Out <> 0"):
            if (name, message) in texts:
                self.privates[(name, message)].append((sent, deleted))
        for table, key, written in outbox.by_table():
            for (found,) in con.execute("SELECT %s FROM %s" % (key, table)):
                if found in written:
                    self.present.add((table, found))

    def unsent_text(self):
        return "%d/%d/%d" % (self.unsent["Posts"], self.unsent["Comments"], self.unsent["PrivateMessages"])


class Probe:
    """Which private messages the stand-in holds, asked by sending them once
    more from another folder: one it stored less than REPEAT_WINDOW seconds
    ago is refused as a repeat (63), one it does not hold is accepted."""

    def __init__(self):
        self.present = set()
        self.absent = set()
        self.unknown = set()
        self.conclusive = True  # False when the window may have passed
        self.age = 0.0  # seconds from the first possible storing to the probe


REJECTED = re.compile(r"ошибка №(\d+)")


class OutboxCheck:
    """Every text written into the outbox once at the stand-in and once in the
    store, nothing left unsent, no outbox row gone without a question."""

    def __init__(self, local, service, outbox, clean_output="", probe=None):
        self.local = local
        self.service = service
        self.problems = []
        self.notes = []
        self.service_missing = []
        self.service_twice = []
        self.local_missing = []
        self.local_twice = []
        if local.error or service.error:
            self.problems.append("outbox: %s" % (local.error or "the stand-in's copy: " + service.error))
            return
        for label, texts, here, there in (
            ("post", outbox.posts.values(), local.posts, service.posts),
            ("comment", outbox.comments.values(), local.comments, service.comments),
        ):
            for text in texts:
                published = [r for r in there.get(text, []) if r[1] == 0]
                if not published:
                    self.service_missing.append((label, text))
                self.service_twice += [(label, text)] * max(0, len(published) - 1)
                rows = here.get(text, [])
                if not any(sent == 1 and deleted == 0 for sent, deleted in rows):
                    self.local_missing.append((label, text))
                self.local_twice += [(label, text)] * max(0, len(rows) - 1)

        # Rows leave the outbox only after a question the clean send answered
        # with "no", and only for a repeat (63): the stand-in has those.
        gone = [(table, key) for table, _, written in outbox.by_table() for key in written
                if (table, key) not in local.present]
        codes = collections.Counter(REJECTED.findall(clean_output))
        if len(gone) != sum(codes.values()):
            self.problems.append(
                "%d outbox rows are gone from the store, but the clean send asked about %d "
                "rejected messages" % (len(gone), sum(codes.values())))
        other = {code: n for code, n in codes.items() if code != "63"}
        if other:
            self.problems.append("the stand-in refused messages in the clean send with codes %s"
                                 % ", ".join("%s x%d" % item for item in sorted(other.items())))
        self.dropped_privates = [outbox.privates[key] for table, key in gone if table == "PrivateMessages"]
        for text in outbox.privates.values():
            rows = local.privates.get(text, [])
            self.local_twice += [("private", text)] * max(0, len(rows) - 1)
            if not any(sent == 1 and deleted == 0 for sent, deleted in rows) \
                    and text not in self.dropped_privates:
                self.local_missing.append(("private", text))
        if self.dropped_privates:
            self.notes.append(
                "%d privates refused as repeats and dropped from the store; the stand-in has them"
                % len(self.dropped_privates))

        if probe is not None:
            for text in outbox.privates.values():
                if text in probe.unknown:
                    self.problems.append("the probe could not tell whether the stand-in has private %r" % (text,))
                elif text in probe.absent:
                    if probe.conclusive:
                        self.service_missing.append(("private", text))
                    else:
                        self.notes.append("private %r not seen by the probe %.0f s after it may have been "
                                          "stored: the repeat window had passed" % (text, probe.age))

    def unsent(self):
        return sum(self.local.unsent.values())

    def ok(self):
        return not (self.problems or self.service_missing or self.service_twice
                    or self.local_missing or self.local_twice or self.unsent())

    def cell(self):
        if self.local.error or self.service.error:
            return "error"
        text = "%d/%d %d/%d %d" % (len(self.service_missing), len(self.service_twice),
                                   len(self.local_missing), len(self.local_twice), self.unsent())
        if self.dropped_privates:
            text += " (%dr)" % len(self.dropped_privates)
        return text

    def details(self):
        out = list(self.problems)

        def texts(items):
            return sample(["%s %r" % (label, text[0] if label == "post" else text[1])
                           for label, text in items], 4)

        if self.service_missing:
            out.append("not at the stand-in %d: %s" % (len(self.service_missing), texts(self.service_missing)))
        if self.service_twice:
            out.append("twice at the stand-in %d: %s" % (len(self.service_twice), texts(self.service_twice)))
        if self.local_missing:
            out.append("not in the store as sent %d: %s" % (len(self.local_missing), texts(self.local_missing)))
        if self.local_twice:
            out.append("twice in the store %d: %s" % (len(self.local_twice), texts(self.local_twice)))
        if self.unsent():
            out.append("left unsent (posts/comments/privates): " + self.local.unsent_text())
        return out


def still_unsent(db_path, outbox, table):
    """After a store that failed to mark them: every written row of the table
    must be there, still unsent. Problems, if any."""
    key, written = next((k, w) for t, k, w in outbox.by_table() if t == table)
    con = sqlite3.connect("file:%s?mode=ro" % db_path, uri=True, timeout=30)
    try:
        rows = dict(con.execute("SELECT %s, Sent FROM %s" % (key, table)).fetchall())
    finally:
        con.close()
    gone = [k for k in written if k not in rows]
    sent = [k for k in written if rows.get(k, 0) != 0]
    problems = []
    if gone:
        problems.append("%d rows of %s gone although storing failed" % (len(gone), table))
    if sent:
        problems.append("%d rows of %s marked sent although storing failed" % (len(sent), table))
    return problems


def judge_pair(runs):
    """Two exchange runs started together on one folder: exactly one must be
    refused (exit 1 and the busy text), the other must run (exit 0).
    runs: (label, exit code, output). Problems, if any."""
    refused = [label for label, _, output in runs if ALREADY_RUNNING in output]
    if len(refused) != 1:
        return ["%s refused with \"%s\", not exactly one" % (" and ".join(refused) or "neither",
                                                          ALREADY_RUNNING)]
    problems = []
    for label, rc, _ in runs:
        want = 1 if label in refused else 0
        if rc != want:
            problems.append("the %s %s exited %s, not %d" % (
                "refused" if want else "running", label, rc, want))
    return problems


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
        self.outbox = None  # OutboxCheck of a send scenario
        self.seconds = 0.0

    @property
    def passed(self):
        return (
            not self.problems
            and self.comparison is not None
            and self.comparison.ok()
            and self.clean_statuses[-1:] == ["0"]
            and (self.outbox is None or self.outbox.ok())
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

    def prepare_folder(self, directory, standin, name="orv"):
        folder = os.path.join(directory, name)
        os.makedirs(folder)
        for key, value in [("ServiceURL", standin.url)] + CLIENT_SETTINGS:
            run = Run(self.bin, folder, ["set", key, value], os.path.join(directory, name + "-set"))
            run.wait(30)
            if run.rc != 0:
                raise SetupError("orv-cli set %s failed (%s): %s" % (key, run.status(), run.output()))
        return folder

    def receive(self, directory, folder, label, timeout=None):
        run = Run(self.bin, folder, ["--answer", "no", "receive"], os.path.join(directory, label))
        return run.wait(timeout or self.args.timeout)

    def start_receive(self, directory, folder, label):
        return Run(self.bin, folder, ["--answer", "no", "receive"], os.path.join(directory, label))

    def start_send(self, directory, folder, label, answer=None):
        """orv-cli send; without an answer a rejected message stays unsent."""
        args = (["--answer", answer] if answer else []) + ["send"]
        return Run(self.bin, folder, args, os.path.join(directory, label))

    def send(self, directory, folder, label, answer=None, timeout=None):
        return self.start_send(directory, folder, label, answer).wait(timeout or self.args.timeout)

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
        plan = [(name, self.run_scenario, body, params) for name, body, params in plan]
        return plan + self.send_plan(rng)

    def send_plan(self, rng):
        """Scenarios 7-11: faults while the outbox is sent."""
        quick = self.args.quick
        plan = []
        layout = send_layout()
        run = self.run_send_scenario

        # --quick plays each fault once: every other one in 7, the rest in 8.
        quick_every = set(NETWORK_FAULTS[0::2]) - SLOW_FAULTS
        quick_once = set(NETWORK_FAULTS[1::2]) - SLOW_FAULTS

        # 7. a fault on every send request. The client's deadline is a fixed
        # 60 s, so silent stays on the first request only.
        for fault in NETWORK_FAULTS:
            if quick and fault not in quick_every:
                continue
            if fault == "silent":
                if not quick:
                    plan.append(("7 silent on the first send request", run, self.send_network_fault,
                                 dict(fault=fault, count=1, skip=0)))
            else:
                plan.append(("7 %s every send request" % fault, run, self.send_network_fault,
                             dict(fault=fault, count=-1, skip=0)))

        # 8. each fault once after N good send requests, N picked in each phase
        for number, fault in enumerate(NETWORK_FAULTS):
            targets = []
            for phase, kind in SEND_PHASES:
                indices = [i for i, t in enumerate(layout) if t.split()[0] == kind and i >= 1]
                targets.append((phase, rng.choice(indices)))
            if quick and fault not in quick_once:
                continue
            if fault == "silent":
                targets = [t for t in targets if t[0] == "comment-send"]
            elif quick:
                targets = [targets[number % len(targets)]]
            for phase, skip in targets:
                plan.append(("8 %s once @%s N=%d" % (fault, phase, skip), run, self.send_network_fault,
                             dict(fault=fault, count=1, skip=skip)))

        # 9. SIGKILL during a slowed-down send; a send run starts in about
        # 0.15 s and then waits for each answer
        delay = 50
        estimate = 0.15 + len(layout) * (delay / 1000.0 + 0.01)
        for i in range(2 if quick else self.args.kills):
            moment = round(rng.uniform(0.05, estimate), 2)
            plan.append(("9 SIGKILL send at %.2fs (delay %dms)" % (moment, delay), run, self.send_sigkill,
                         dict(moment=moment, delay=delay)))

        # 10. two sends on one folder at once
        for i in range(1 if quick else 3):
            offset = round(rng.uniform(0.0, 0.3), 3)
            plan.append(("10 two sends, +%dms" % (offset * 1000), run, self.send_two_at_once,
                         dict(offset=offset, delay=100)))

        # 11. the store fails to mark messages sent
        for table in ("Posts",) if quick else ("Posts", "Comments", "PrivateMessages"):
            plan.append(("11 store fails: UPDATE %s during send" % table, run, self.send_failing_store,
                         dict(table=table)))
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


    # --- sending ---

    def hits_since(self, standin, base, skip, count):
        """What a fault set after `base` requests hit, numbered from there."""
        types = standin.requests()[base:]
        last = len(types) if count < 0 else min(len(types), skip + count)
        hit = types[skip:last]
        if not hit:
            return None
        if len(hit) == 1:
            return "send request #%d %s" % (skip + 1, describe(hit[0]))
        kinds = []
        for t in hit:
            if describe(t.split()[0]) not in kinds:
                kinds.append(describe(t.split()[0]))
        return "send requests #%d-#%d (%s)" % (skip + 1, skip + len(hit), ", ".join(kinds))

    def probe_privates(self, directory, folder, texts, since):
        """Sends the private messages once more from another folder (see Probe)."""
        probe = Probe()
        db = os.path.join(folder, "database.mdb")
        date = time.strftime("%Y-%m-%d %H:%M:%S")
        con = sqlite3.connect(db, timeout=30)
        keys = {}
        try:
            for to, message in texts:
                keys[con.execute(
                    "INSERT INTO PrivateMessages (Message, uName, New, Deleted, Sent, Messagedate, Out) "
                    "VALUES (?, ?, 0, 0, 0, ?, 1)", (message, to, date)).lastrowid] = (to, message)
            con.commit()
        finally:
            con.close()
        probe.age = time.monotonic() - since
        probe.conclusive = probe.age < REPEAT_WINDOW - 2
        run = self.send(directory, folder, "probe", answer="no")
        con = sqlite3.connect("file:%s?mode=ro" % db, uri=True, timeout=30)
        try:
            rows = dict(con.execute("SELECT ID, Sent FROM PrivateMessages WHERE Out <> 0").fetchall())
        finally:
            con.close()
        refused = collections.Counter(REJECTED.findall(run.output()))
        for key, text in keys.items():
            if key not in rows and refused["63"]:
                probe.present.add(text)
            elif rows.get(key) == 1:
                probe.absent.add(text)
            else:
                probe.unknown.add(text)
        if len(probe.present) != refused["63"] or run.hung:
            probe.unknown |= probe.present
            probe.present = set()
        return probe

    def service_expected(self, snapshot, result):
        """The stand-in's items as a fresh folder received them; they must
        include every seeded item of the reference."""
        expected = Expected(snapshot)
        expected.privates = self.expected.privates
        lost = (len(self.expected.posts - expected.posts), len(self.expected.comments - expected.comments),
                len(self.expected.book ^ expected.book))
        if snapshot.error or any(lost):
            result.problems.append(
                "the fresh folder's copy of the stand-in is off (%s; seeded posts/comments missing, "
                "friends-list entries differing: %d/%d/%d)" % ((snapshot.error or "readable",) + lost))
        return expected

    def run_send_scenario(self, name, body, params, planted_probe=None, keep=False):
        """A fault while sending, then a clean `--answer no send` (a repeat the
        stand-in refuses is dropped) and a clean receive (which brings the
        stand-in's copy back). A fresh folder asks the stand-in what it holds:
        the private messages by a probe, the rest by a receive."""
        result = Result(name)
        started = time.monotonic()
        directory = self.new_dir(name)
        result.directory = directory
        standin = None
        try:
            standin = Standin(self.bin, self.args.seed_posts, directory)
            folder = self.prepare_folder(directory, standin)
            setup = self.receive(directory, folder, "setup")
            if setup.rc != 0:
                raise SetupError("the receive before the outbox was written exited %s" % setup.status())
            witness = self.prepare_folder(directory, standin, "witness")
            db = os.path.join(folder, "database.mdb")
            outbox = Outbox.write(db, "%03d" % self.counter)
            result.outbox_written = outbox
            base = len(standin.requests())
            fault_started = time.monotonic()
            body(result, directory, standin, folder, outbox, base, **params)
            standin.fault("none")
            state = OutboxState(db, outbox)
            result.notes.append("unsent after the fault " + state.unsent_text())
            if result.fault_seconds is not None and result.fault_seconds >= REPEAT_WINDOW - 5:
                # A run that waited out the client's deadline ends right at the
                # edge of the stand-in's repeat window: whether a resend is
                # refused would be chance. A retry comes later than that.
                wait = fault_started + REPEAT_WINDOW + 1 - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                result.notes.append(
                    "the faulty send took %.0f s; the clean send started %.0f s after it had, "
                    "past the stand-in's %d s repeat window"
                    % (result.fault_seconds, time.monotonic() - fault_started, REPEAT_WINDOW))

            clean_base = len(standin.requests())
            clean_started = time.monotonic()
            clean_send = self.send(directory, folder, "clean-send", answer="no")
            early = any("4" in t.split() for t in standin.requests()[base:clean_base])
            texts = list(outbox.privates.values()) + ([planted_probe] if planted_probe else [])
            probe = self.probe_privates(directory, witness, texts, fault_started if early else clean_started)
            result.probe = probe
            clean_receive = self.receive(directory, folder, "clean-receive")
            result.clean_statuses = [clean_send.status(), clean_receive.status()]
            for label, run in (("send", clean_send), ("receive", clean_receive)):
                if run.rc != 0:
                    result.problems.append("the clean %s exited %s" % (label, run.status()))

            fresh = self.receive(directory, witness, "witness-receive")
            if fresh.rc != 0:
                result.problems.append("the fresh folder's receive exited %s" % fresh.status())
            witness_db = os.path.join(witness, "database.mdb")
            expected = self.service_expected(Snapshot(witness_db), result)
            result.comparison = Comparison(Snapshot(db), expected)
            result.outbox = OutboxCheck(OutboxState(db, outbox), OutboxState(witness_db, outbox), outbox,
                                        clean_send.output(), probe)
            result.notes += result.outbox.notes
            result.expected = expected
            result.clean_output = clean_send.output()
            result.db = db
            result.witness_db = witness_db
            pending = result.comparison.snapshot.pending_text()
            if pending != "0":
                result.notes.append("left on the fetch stack after the clean run: " + pending)
        except (SetupError, OSError, sqlite3.Error, urllib.error.URLError) as e:
            result.problems.append("campaign error: %s" % e)
        finally:
            if standin:
                standin.stop()
        result.seconds = time.monotonic() - started
        if result.passed and not self.args.keep and not keep:
            shutil.rmtree(directory, ignore_errors=True)
        else:
            result.notes.append("files: " + directory)
        return result

    def send_fault_run(self, result, directory, folder, timeout=None):
        run = self.send(directory, folder, "fault", timeout=timeout)
        result.fault_status = run.status()
        result.fault_seconds = run.seconds
        if run.hung:
            result.problems.append("the faulty send did not end within %d s" % (timeout or self.args.timeout))
        return run

    def send_plain(self, result, directory, standin, folder, outbox, base):
        """No fault: the send must publish everything."""
        run = self.send_fault_run(result, directory, folder)
        if run.rc != 0:
            result.problems.append("the send exited %s" % run.status())
        result.layout = standin.requests()[base:]

    def send_network_fault(self, result, directory, standin, folder, outbox, base, fault, count, skip):
        standin.fault(fault, count=count, skip=skip)
        self.send_fault_run(result, directory, folder)
        hit = self.hits_since(standin, base, skip, count)
        if hit is None:
            result.problems.append("the fault was never played: the send made %d requests"
                                   % len(standin.requests()[base:]))
        else:
            result.notes.append("hit " + hit)

    def send_sigkill(self, result, directory, standin, folder, outbox, base, moment, delay):
        standin.fault("delay", count=-1, delay=delay)
        run = self.start_send(directory, folder, "fault")
        time.sleep(moment)
        seen = standin.requests()[base:]
        if run.kill():
            where = "#%d %s" % (len(seen), describe(seen[-1])) if seen else "before the first request"
            result.notes.append("killed during " + where)
        else:
            result.notes.append("ended (%d) before the kill" % run.rc)
        result.fault_status = run.status()
        result.fault_seconds = run.seconds

    def send_two_at_once(self, result, directory, standin, folder, outbox, base, offset, delay):
        # A delay on every request keeps the first run going while the second starts.
        standin.fault("delay", count=-1, delay=delay)
        first = self.start_send(directory, folder, "first")
        time.sleep(offset)
        second = self.start_send(directory, folder, "second")
        first.wait(self.args.timeout)
        second.wait(self.args.timeout)
        result.fault_status = "%s,%s" % (first.status(), second.status())
        result.fault_seconds = max(first.seconds, second.seconds)
        refused = [label for label, run in (("first", first), ("second", second))
                   if ALREADY_RUNNING in run.output()]
        result.notes.append("refused: " + (", ".join(refused) if refused else "neither"))
        for label, run in (("first", first), ("second", second)):
            if run.hung:
                result.problems.append("the %s send did not end within %d s" % (label, self.args.timeout))
        result.problems += judge_pair([("first", first.rc, first.output()),
                                       ("second", second.rc, second.output())])

    def send_failing_store(self, result, directory, standin, folder, outbox, base, table):
        db = os.path.join(folder, "database.mdb")
        con = sqlite3.connect(db, timeout=30)
        con.execute(
            "CREATE TRIGGER campaign_fail BEFORE UPDATE ON %s "
            "BEGIN SELECT RAISE(ABORT, 'campaign: store fails'); END" % table
        )
        con.commit()
        con.close()
        self.send_fault_run(result, directory, folder)
        kind = {"Posts": "3", "Comments": "1", "PrivateMessages": "4"}[table]
        if not any(kind in t.split() for t in standin.requests()[base:]):
            result.problems.append("no %s request reached the stand-in: the failing store was not "
                                   "put to the test" % describe(kind))
        result.problems += still_unsent(db, outbox, table)
        con = sqlite3.connect(db, timeout=30)
        con.execute("DROP TRIGGER campaign_fail")
        con.commit()
        con.close()

    # --- the send reference ---

    def send_reference(self):
        """A fault-free send through the whole check; then the check must see
        planted changes in copies of its stores."""
        planted = ("snegir", "Личное сообщение, которое никто не отправлял.")
        result = self.run_send_scenario("send reference", self.send_plain, {},
                                        planted_probe=planted, keep=True)
        problems = list(result.problems)
        if result.comparison is None or result.outbox is None:
            raise SetupError("send reference unusable (%s): %s" % (result.directory, "; ".join(problems)))
        if not result.passed:
            problems += result.comparison.details() + result.outbox.details()
        if getattr(result, "layout", None) != send_layout():
            problems.append("the send's requests were %s, planned %s" % (getattr(result, "layout", None),
                                                                          send_layout()))
        if result.fault_status != "0":
            problems.append("the send exited %s" % result.fault_status)
        probe = result.probe
        if planted not in probe.absent:
            problems.append("the probe did not see that the stand-in lacks a private never sent")
        if probe.present != set(result.outbox_written.privates.values()):
            problems.append("the probe did not find the sent privates at the stand-in")
        if problems:
            raise SetupError("send reference unusable (%s): %s" % (result.directory, "; ".join(problems)))
        print("send reference: %d posts, %d comments, %d privates in %d requests, %.1f s; "
              "whole scenario %.1f s" % (OUTBOX_POSTS, OUTBOX_COMMENTS, OUTBOX_PRIVATES,
                                         len(result.layout), result.fault_seconds, result.seconds))
        self.check_send_comparator(result, planted)
        if not self.args.keep:
            shutil.rmtree(result.directory, ignore_errors=True)

    def check_send_comparator(self, reference, planted):
        outbox = reference.outbox_written
        post, comment, private = min(outbox.posts), min(outbox.comments), min(outbox.privates)
        header, message = outbox.posts[post]
        local_plants = [
            ("sent post twice", "INSERT INTO Posts (PostID, Header, Message, Sent, Deleted) "
             "SELECT PostID, Header, Message, Sent, Deleted FROM Posts WHERE ThisID = %d" % post),
            ("post left unsent", "UPDATE Posts SET Sent = 0 WHERE ThisID = %d" % post),
            ("sent post lost", "DELETE FROM Posts WHERE ThisID = %d" % post),
            ("sent comment lost", "DELETE FROM Comments WHERE ThisID = %d" % comment),
            ("comment twice", "INSERT INTO Comments (CommentID, PostID, Message, Sent, Deleted) "
             "SELECT CommentID, PostID, Message, Sent, Deleted FROM Comments WHERE ThisID = %d" % comment),
            ("private left unsent", "UPDATE PrivateMessages SET Sent = 0 WHERE ID = %d" % private),
            ("private twice", "INSERT INTO PrivateMessages (Out, uName, Message, Sent) "
             "SELECT Out, uName, Message, Sent FROM PrivateMessages WHERE ID = %d" % private),
            ("private gone without a question", "DELETE FROM PrivateMessages WHERE ID = %d" % private),
            ("a foreign unsent row", "INSERT INTO Comments (CommentID, PostID, Message, Sent) "
             "VALUES ('tmp999999', '1', 'x', 0)"),
        ]
        service_plants = [
            ("post twice at the stand-in", "INSERT INTO Posts (PostID, Header, Message, Sent, Deleted) "
             "SELECT '999999', Header, Message, Sent, Deleted FROM Posts WHERE Header = '%s' AND Message = '%s'"
             % (header.replace("'", "''"), message.replace("'", "''"))),
            ("comment not at the stand-in", "DELETE FROM Comments WHERE Message = '%s'"
             % outbox.comments[comment][1].replace("'", "''")),
        ]
        directory = self.new_dir("send-comparator-check")
        wrong = []

        def judge(label, local_sql, service_sql, clean_output=reference.clean_output, probe=reference.probe):
            paths = []
            for source, sql in ((reference.db, local_sql), (reference.witness_db, service_sql)):
                path = os.path.join(directory, "copy%d.mdb" % len(paths))
                shutil.copyfile(source, path)
                if sql:
                    con = sqlite3.connect(path)
                    con.execute(sql)
                    con.commit()
                    con.close()
                paths.append(path)
            check = OutboxCheck(OutboxState(paths[0], outbox), OutboxState(paths[1], outbox), outbox,
                                clean_output, probe)
            for path in paths:
                os.remove(path)
            if check.ok() != (label == "none"):
                wrong.append(label)

        judge("none", None, None)
        for label, sql in local_plants:
            judge(label, sql, None)
        for label, sql in service_plants:
            judge(label, None, sql)
        judge("a question without a row gone", None, None, clean_output=reference.clean_output +
              "\nПри отправке поста от 01.01.2024 10:00:00 возникла ошибка №63 (...)")
        missing = Probe()
        missing.present = set(reference.probe.present)
        missing.absent = {outbox.privates[private]}
        missing.present -= missing.absent
        judge("private not at the stand-in", None, None, probe=missing)
        checks = len(local_plants) + len(service_plants) + 2

        # The store failure check, pointed at a store where the rows were sent.
        for table in ("Posts", "Comments", "PrivateMessages"):
            checks += 1
            if not still_unsent(reference.db, outbox, table):
                wrong.append("%s marked sent after a failing store" % table)
        # The two-runs check, pointed at planted outputs.
        for label, runs in (("neither refused", [("first", 0, ""), ("second", 0, "")]),
                            ("both refused", [("first", 1, ALREADY_RUNNING), ("second", 1, ALREADY_RUNNING)]),
                            ("refused run exits 0", [("first", 0, ""), ("second", 0, ALREADY_RUNNING)])):
            checks += 1
            if not judge_pair(runs):
                wrong.append(label)
        if judge_pair([("first", 0, ""), ("second", 1, ALREADY_RUNNING)]):
            wrong.append("a proper refusal")
        if wrong:
            raise SetupError("the send check misjudged planted changes: " + ", ".join(wrong))
        shutil.rmtree(directory)
        print("send check: %d planted changes all seen (and the probe saw a private never sent "
              "missing)" % checks)


# --------------------------------------------------------------------------
# Report

COLUMNS = ["scenario", "fault rc", "secs", "clean rc", "posts m/d/x", "comments m/d/x",
           "privates m/x", "friends m/d/x", "integrity", "outbox s:m/d l:m/d u", "verdict", "note"]


def row(result):
    cells = [result.name, result.fault_status,
             "%.1f" % result.fault_seconds if result.fault_seconds is not None else "-",
             ",".join(result.clean_statuses) or "-"]
    if result.comparison:
        cells += result.comparison.cells()
    else:
        cells += ["-"] * 5
    cells.append(result.outbox.cell() if result.outbox else "-")
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
        "a clean run must leave exactly the stand-in's items in the store, none twice, and "
        "every message of the outbox published once."
    )
    parser.add_argument("--bin", default=os.path.normpath(os.path.join(here, "..", "..", "build", "bin")),
                        help="folder with kordenet-standin and orv-cli (default: build/bin)")
    parser.add_argument("--seed-posts", type=int, default=200, help="posts in the stand-in's data set")
    parser.add_argument("--quick", action="store_true",
                        help="a small subset, without the slow silent and trickle scenarios")
    parser.add_argument("--only", metavar="REGEX", help="run only the scenarios whose name matches")
    parser.add_argument("--random-seed", type=int, default=1,
                        help="seed for the fault positions and kill moments (default 1)")
    parser.add_argument("--kills", type=int, default=10,
                        help="SIGKILL scenarios while receiving, and as many while sending (default 10)")
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
    if any(runner == campaign.run_send_scenario for _, runner, _, _ in plan):
        try:
            campaign.send_reference()
        except SetupError as e:
            print("SETUP FAILED: %s" % e)
            return 2
    results = []
    for i, (name, runner, body, params) in enumerate(plan, 1):
        result = runner(name, body, params)
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
                    (r.outbox.details() if r.outbox else []) + \
                    [n for n in r.notes if n.startswith("files: ")]:
                print("    " + line)
    print()
    print("m/d/x: missing / stored twice / not at the stand-in; (Nc): privates lost at the "
          "stand-in, not counted; clean rc: exit codes of the clean receives after the fault "
          "(send scenarios: of the clean send and the clean receive)")
    print("outbox s:m/d l:m/d u: outbox texts missing / twice at the stand-in, missing / twice "
          "in the store, rows left unsent; (Nr): privates refused as repeats and dropped locally")
    print("%.0f s in all" % (time.monotonic() - started))
    print("%d passed, %d failed" % (len(results) - len(failed), len(failed)))
    if not failed and not args.keep and not args.workdir:
        shutil.rmtree(workdir, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
