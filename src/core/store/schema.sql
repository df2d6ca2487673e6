-- Schema of database.mdb, as a new file gets it (the current version).
-- Yes/no columns hold 0 or 1. Date-times are text "YYYY-MM-DD hh:mm:ss", which
-- sorts and compares in time order. Local identifiers never repeat.
-- HandedOver: when an outgoing row's batch went to the service; it stays set
-- ("in doubt") until an answer about the row has been applied.

CREATE TABLE IF NOT EXISTS Posts (
    ThisID INTEGER PRIMARY KEY AUTOINCREMENT,
    PostID TEXT,
    JournalID TEXT,
    uName TEXT,
    Header TEXT,
    Message TEXT,
    Messagedate TEXT,
    AddDate TEXT,
    New INTEGER NOT NULL DEFAULT 0,
    Sent INTEGER NOT NULL DEFAULT 0,
    Deleted INTEGER NOT NULL DEFAULT 0,
    AttachPath TEXT,
    out_ParseURL INTEGER NOT NULL DEFAULT 0,
    out_Nocomment INTEGER NOT NULL DEFAULT 0,
    out_Privatepost INTEGER NOT NULL DEFAULT 0,
    out_Subscribe INTEGER NOT NULL DEFAULT 0,
    HandedOver TEXT
);
CREATE INDEX IF NOT EXISTS Posts_PostID ON Posts (PostID);
CREATE INDEX IF NOT EXISTS Posts_uName ON Posts (uName, PostID);
CREATE INDEX IF NOT EXISTS Posts_InDoubt ON Posts (ThisID) WHERE HandedOver IS NOT NULL;
-- The start's clean-up looks for read rows by AddDate; a received row arrives
-- unread, so storing it does not touch this index.
CREATE INDEX IF NOT EXISTS Posts_Read ON Posts (AddDate) WHERE New = 0 AND Sent <> 0;

CREATE TABLE IF NOT EXISTS Comments (
    ThisID INTEGER PRIMARY KEY AUTOINCREMENT,
    CommentID TEXT,
    PostID TEXT,
    JournalID TEXT,
    uName TEXT,
    Header TEXT,
    Message TEXT,
    Messagedate TEXT,
    AddDate TEXT,
    New INTEGER NOT NULL DEFAULT 0,
    Sent INTEGER NOT NULL DEFAULT 0,
    Deleted INTEGER NOT NULL DEFAULT 0,
    AttachPath TEXT,
    out_ParseURL INTEGER NOT NULL DEFAULT 0,
    out_Subscribe INTEGER NOT NULL DEFAULT 0,
    HandedOver TEXT
);
CREATE INDEX IF NOT EXISTS Comments_CommentID ON Comments (CommentID);
CREATE INDEX IF NOT EXISTS Comments_PostID ON Comments (PostID);
CREATE INDEX IF NOT EXISTS Comments_InDoubt ON Comments (ThisID) WHERE HandedOver IS NOT NULL;
CREATE INDEX IF NOT EXISTS Comments_Read ON Comments (AddDate) WHERE New = 0 AND Sent <> 0;

CREATE TABLE IF NOT EXISTS PrivateMessages (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Out INTEGER NOT NULL DEFAULT 0,
    uName TEXT,
    Message TEXT,
    Messagedate TEXT,
    AddDate TEXT,
    New INTEGER NOT NULL DEFAULT 0,
    Sent INTEGER NOT NULL DEFAULT 0,
    Deleted INTEGER NOT NULL DEFAULT 0,
    HandedOver TEXT
);

CREATE TABLE IF NOT EXISTS AddressBook (
    Nick TEXT,
    Status TEXT,
    New INTEGER NOT NULL DEFAULT 0,
    Old INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS AddressBook_Nick ON AddressBook (Nick, Status);

CREATE TABLE IF NOT EXISTS Smiles (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Smile TEXT,
    SmileURL TEXT
);

CREATE TABLE IF NOT EXISTS iniSettings (
    iniVariable TEXT,
    iniValue TEXT,
    SortID INTEGER,
    comment TEXT
);

CREATE TABLE IF NOT EXISTS tmp_MessagesToGet (
    ID TEXT,
    Type TEXT,
    Direction TEXT,
    ErrCode TEXT,
    Misses INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS tmp_MessagesToGet_Type ON tmp_MessagesToGet (Type);
CREATE INDEX IF NOT EXISTS tmp_MessagesToGet_ID ON tmp_MessagesToGet (ID);

-- Answers the service will not give again (it marks private messages read as
-- it answers), kept from their arrival until their messages are stored.
CREATE TABLE IF NOT EXISTS tmp_KeptAnswers (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Kind TEXT NOT NULL,
    Answer TEXT NOT NULL,
    Received TEXT
);

-- The message editor's unsaved work while it is open; never sent.
CREATE TABLE IF NOT EXISTS Drafts (
    ID INTEGER PRIMARY KEY,
    Saved TEXT NOT NULL,
    State TEXT NOT NULL
);

-- Outgoing rows the service rejected while nobody was there to decide whether
-- to keep or delete them: they wait, unsent and never sent again, until the
-- user decides. Tbl is the row's table, Error the service's code.
CREATE TABLE IF NOT EXISTS PendingDecisions (
    Tbl TEXT NOT NULL,
    MessageKey INTEGER NOT NULL,
    Error TEXT NOT NULL,
    PRIMARY KEY (Tbl, MessageKey)
);

-- Pictures the messages name, kept for reading offline. The bytes are files
-- in pictures/ named by the address's hash; Bytes is NULL until a picture is
-- kept. Shown: when it was last shown or kept (ms since 1970), so the least
-- recently shown go first when the cache is full. Misses: failed fetches.
CREATE TABLE IF NOT EXISTS Pictures (
    URL TEXT PRIMARY KEY,
    Bytes INTEGER,
    Shown INTEGER NOT NULL DEFAULT 0,
    Misses INTEGER NOT NULL DEFAULT 0
);

INSERT INTO iniSettings (iniVariable, iniValue, SortID, comment) VALUES
    ('UserName', '', 1, 'Имя пользователя (логин) на Корденете'),
    ('Password', '', 2, 'Пароль'),
    ('ServiceURL', 'https://kordenet.ru', 3, 'Адрес сервиса Корденет (схема и хост, без косой черты в конце)'),
    ('MaxPost', '500', 4, 'Сколько сообщений запрашивать за один раз'),
    ('PostsToGetPerOneSession', '10', 5, 'Сколько постов получать за один запрос'),
    ('CommentsToGetPerOneSession', '25', 6, 'Сколько комментариев получать за один запрос'),
    ('PostsToSendPerOneSession', '5', 7, 'Сколько постов отправлять за один запрос'),
    ('CommentsToSendPerOneSession', '10', 8, 'Сколько комментариев отправлять за один запрос'),
    ('ShowLastDays', '14', 9, 'Сколько дней хранить прочитанные сообщения'),
    ('AutoLoadComments', '0', 10, 'Получать все комментарии к каждому новому посту (1 - да, 0 - нет)'),
    ('TimeOffset', '0', 11, 'Разница во времени с сервером, часов'),
    ('UseProxy', '0', 12, 'Работать через прокси-сервер (1 - да, 0 - нет)'),
    ('ProxyUname', '', 13, 'Имя пользователя прокси-сервера'),
    ('ProxyPass', '', 14, 'Пароль прокси-сервера'),
    ('CheckTime_Posts', '', 15, 'Время последней проверки постов (время сервера)'),
    ('CheckTime_Comments', '', 16, 'Время последней проверки комментариев (время сервера)'),
    ('CheckTime_Privates', '', 17, 'Время последней проверки личных сообщений'),
    ('CheckTime_Forums', '', 18, 'Время последней проверки форумов'),
    ('CheckTime_Smiles', '', 19, 'Время последней проверки смайликов'),
    ('LASTSMILEID', '0', 20, 'Номер последнего полученного смайлика'),
    ('PostsToShow', '50', 21, 'Сколько постов показывать'),
    ('CommentsInTree', '1', 22, 'Показывать комментарии в дереве (1 - да, 0 - нет)'),
    ('LoadPictures', '1', 23, 'Загружать картинки (1 - да, 0 - нет)'),
    ('PictureCacheMB', '500', 24, 'Размер кэша картинок, МБ');

-- Full-text search: the words of every message case-folded (markup removed,
-- ё as е, Latin and Greek letters without accents, anything but letters, digits and
-- combining marks a blank, so that the plain ascii tokenizer only splits at
-- blanks), one table a kind, the message's local identifier as rowid. The store writes
-- them with the messages; a deleted message leaves its table with its row.
CREATE VIRTUAL TABLE IF NOT EXISTS PostsText USING fts5(Author, Title, Body, tokenize = 'ascii', columnsize = 0);
CREATE VIRTUAL TABLE IF NOT EXISTS CommentsText USING fts5(Author, Title, Body, tokenize = 'ascii', columnsize = 0);
CREATE VIRTUAL TABLE IF NOT EXISTS PrivatesText USING fts5(Author, Title, Body, tokenize = 'ascii', columnsize = 0);
CREATE TRIGGER IF NOT EXISTS Posts_Unindex AFTER DELETE ON Posts BEGIN DELETE FROM PostsText WHERE rowid = old.ThisID; END;
CREATE TRIGGER IF NOT EXISTS Comments_Unindex AFTER DELETE ON Comments BEGIN DELETE FROM CommentsText WHERE rowid = old.ThisID; END;
CREATE TRIGGER IF NOT EXISTS PrivateMessages_Unindex AFTER DELETE ON PrivateMessages BEGIN DELETE FROM PrivatesText WHERE rowid = old.ID; END;
