INSERT INTO Posts (ThisID, uName, PostID, Header, New, Sent) VALUES
(1, 'me', '500', 'Мой пост', 0, 1),
(2, 'anna', '101', '&laquo;Весна&raquo; &mdash; &#1071;', 0, 1),
(3, 'anna', '102', '', 1, 1),
(4, 'anna', '103', 'Очень длинный заголовок поста, длиннее предела', 0, 1),
(5, 'anna', 'tmp1', ' ', 0, 0),
(6, 'boris', '300', 'Первый с 300', 0, 1),
(7, 'vova', '300', 'Второй с 300', 1, 1),
(8, 'd''Art&amp;an', '400', 'x', 0, 1),
(9, 'anna', NULL, 'Без номера', 1, 0),
(10, 'gena', '600', 'Старое', 0, 1),
(11, 'me', 'tmp2', 'Мой черновик', 0, 0);
INSERT INTO Comments (ThisID, uName, PostID, CommentID, New, Sent) VALUES
(1, 'Ёжик', '101', '9001', 1, 1),
(2, 'marta', '101', '9000', 0, 1),
(3, 'Ёжик', '300', '9100', 1, 1),
(4, 'anna', '500', '9200', 1, 1),
(5, 'anna', '404', '9300', 1, 1),
(6, 'anna', '101', NULL, 1, 1),
(7, 'd''Art&amp;an', '102', '10', 0, 1),
(8, 'me', 'tmp1', 'tmp5', 0, 0),
(9, 'gena', '600', '9500', 0, 1);
INSERT INTO PrivateMessages (Out, uName, Messagedate, New, Sent) VALUES
(1, 'boris', '2006-03-01 09:00:00', 0, 0),
(0, 'anna', '2006-03-02 10:00:00', 1, 1),
(0, 'vova', '2006-03-01 10:00:00', 0, 1);
