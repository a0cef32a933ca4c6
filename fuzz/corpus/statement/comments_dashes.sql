SELECT a -- b
FROM T /* c */