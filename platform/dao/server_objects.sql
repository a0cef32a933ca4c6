-- What a server database needs before the layer's dialect works in it: text that compares without
-- regard to letter case (citext, as the file engine's COLLATE NOCASE), the layer's own column types
-- as domains, and the engine's functions the server lacks under the names the dialect layer calls.
-- Each function answers as its twin registered on the file engine's connections does, so a saved
-- query gives the same rows on both; dates are OLE serials there, so the arithmetic here is done on
-- the same serials (dao_serial) to come out the same to the second.
--
-- The whole file is the body of one DO block run on every database the layer makes or fills, so
-- everything in it must be safe to run again. No question mark anywhere: the layer takes one for a
-- parameter (chr(63) stands for it).
BEGIN
CREATE EXTENSION IF NOT EXISTS citext;

IF to_regtype('yesno') IS NULL THEN CREATE DOMAIN yesno AS smallint; END IF;
IF to_regtype('byte') IS NULL THEN CREATE DOMAIN byte AS smallint; END IF;
IF to_regtype('single') IS NULL THEN CREATE DOMAIN single AS real; END IF;
IF to_regtype('currency') IS NULL THEN CREATE DOMAIN currency AS numeric(19,4); END IF;
IF to_regtype('memo') IS NULL THEN CREATE DOMAIN memo AS citext; END IF;

-- Letter case folded as the file engine folds it: ASCII letters only.
CREATE OR REPLACE FUNCTION dao_fold(s text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$
  SELECT translate(s, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')
$f$;

-- The characters of a text, none for an empty one.
CREATE OR REPLACE FUNCTION dao_chars(s text) RETURNS text[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$
  SELECT CASE WHEN s = '' THEN '{}'::text[] ELSE regexp_split_to_array(s, '') END
$f$;

-- The nearest whole number, halves away from zero (the server's round of a double goes to even).
CREATE OR REPLACE FUNCTION dao_lround(x double precision) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (CASE WHEN x >= 0 THEN floor(x + 0.5) ELSE -floor(0.5 - x) END)::bigint
$f$;

-- A whole number written with at least `width` digits.
CREATE OR REPLACE FUNCTION dao_digits(v integer, width integer) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v < 0 OR length(v::text) >= width THEN v::text ELSE lpad(v::text, width, '0') END
$f$;

-- The OLE date serial of a timestamp: days since 1899-12-30, the time of day as the fraction, which
-- before that day still counts forward from midnight (-1.25 is 1899-12-29 06:00).
CREATE OR REPLACE FUNCTION dao_serial(d timestamp) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (d::date - date '1899-12-30')::float8
         + CASE WHEN d < timestamp '1899-12-30' THEN -1 ELSE 1 END
           * (extract(epoch FROM d - d::date)::float8 / 86400.0::float8)
$f$;

-- The time of day in whole seconds, rounded as the language shows times (never into the next day).
CREATE OR REPLACE FUNCTION dao_seconds_of_day(d timestamp) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (CASE WHEN extract(epoch FROM d - d::date) >= 86399.5 THEN 86399
               ELSE floor(extract(epoch FROM d - d::date)::float8 + 0.5) END)::integer
$f$;

-- The time of day rounded to the second as the language shows it.
CREATE OR REPLACE FUNCTION dao_to_second(d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT d::date + make_interval(secs => dao_seconds_of_day(d))
$f$;

-- The timestamp of an OLE date serial, to the second.
CREATE OR REPLACE FUNCTION dao_from_serial(s double precision) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (date '1899-12-30' + trunc(s)::integer)
         + make_interval(secs => least(floor(abs(s - trunc(s)) * 86400 + 0.5), 86399))
$f$;

-- 1 = Sunday ... 7 = Saturday.
CREATE OR REPLACE FUNCTION dao_weekday(d timestamp) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (((d::date - date '1899-12-30') + 6) % 7 + 7) % 7 + 1
$f$;

-- A date as the file engine stores it: "yyyy-mm-dd", with " hh:mm:ss" when it has a time.
CREATE OR REPLACE FUNCTION dao_iso(d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN d = d::date THEN to_char(d, 'YYYY-MM-DD')
              ELSE to_char(d::date, 'YYYY-MM-DD') || ' ' ||
                   to_char(make_interval(secs => dao_seconds_of_day(d)), 'HH24:MI:SS') END
$f$;

-- Like: * any run, a question mark one character, # one digit, [abc] [a-z] [!a-z] a class; letter
-- case does not count. The pattern becomes a regular expression whose every literal is escaped; the
-- translation is its own function so that a constant pattern is translated once per statement, not
-- once per row.
CREATE OR REPLACE FUNCTION dao_like_expression(pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  p text[] := dao_chars(dao_fold(pattern));
  n integer := coalesce(array_length(p, 1), 0);
  i integer := 1;
  re text := '^';
  negate boolean;
  first boolean;
  members text;
  lo text;
  hi text;
BEGIN
  WHILE i <= n LOOP
    IF p[i] = '*' THEN
      re := re || '.*';
      i := i + 1;
    ELSIF p[i] = chr(63) THEN
      re := re || '.';
      i := i + 1;
    ELSIF p[i] = '#' THEN
      re := re || '[0-9]';
      i := i + 1;
    ELSIF p[i] = '[' THEN
      -- A ']' first in the class is one of its members; a class left open runs to the pattern's end.
      i := i + 1;
      negate := i <= n AND p[i] = '!';
      IF negate THEN i := i + 1; END IF;
      members := '';
      first := true;
      WHILE i <= n AND (first OR p[i] <> ']') LOOP
        lo := p[i];
        hi := lo;
        i := i + 1;
        IF i + 1 <= n AND p[i] = '-' AND p[i + 1] <> ']' THEN
          hi := p[i + 1];
          i := i + 2;
        END IF;
        IF ascii(lo) <= ascii(hi) THEN
          members := members || CASE WHEN lo ~ '[[:alnum:]]' OR ascii(lo) > 127 THEN lo ELSE '\' || lo END;
          IF hi <> lo THEN
            members := members || '-' ||
                       CASE WHEN hi ~ '[[:alnum:]]' OR ascii(hi) > 127 THEN hi ELSE '\' || hi END;
          END IF;
        END IF;
        first := false;
      END LOOP;
      i := i + 1;
      IF members <> '' THEN
        re := re || '[' || CASE WHEN negate THEN '^' ELSE '' END || members || ']';
      ELSIF negate THEN
        re := re || '.';
      ELSE
        re := re || '$.'; -- a class without members matches nothing
      END IF;
    ELSE
      re := re || CASE WHEN p[i] ~ '[[:alnum:]]' OR ascii(p[i]) > 127 THEN p[i] ELSE '\' || p[i] END;
      i := i + 1;
    END IF;
  END LOOP;
  RETURN re || '$';
END
$f$;

-- Not strict, so that the server can write the call into the statement in its place.
CREATE OR REPLACE FUNCTION dao_like(value text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_fold(value) ~ dao_like_expression(pattern)
$f$;

-- Raises the error of an interval name the engine does not know; typed so a CASE can end in it, and
-- not immutable, so that a constant name fails only when a row meets it, as on the file engine.
CREATE OR REPLACE FUNCTION dao_unknown_interval(fn text, name text) RETURNS bigint
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
BEGIN
  RAISE EXCEPTION USING ERRCODE = '22023',
    MESSAGE = format('%s: "%s" is not an interval (yyyy q m y d w ww h n s)', fn, name);
END
$f$;

-- The day `months` months on, kept where the month has it (the 31st becomes the month's last day),
-- with the time of day added to its serial as the file engine adds it.
CREATE OR REPLACE FUNCTION dao_add_months(d timestamp, months bigint) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT CASE
    -- From the serials' day 0 on, the server's own month arithmetic keeps the day and time alike.
    WHEN dao_to_second(d) + make_interval(months => months::integer) >= timestamp '1899-12-30'
    THEN dao_to_second(d) + make_interval(months => months::integer)
    ELSE dao_from_serial(
      dao_serial(((date_trunc('month', d) + make_interval(months => months::integer))::date
                  + (least(extract(day FROM d)::integer,
                           extract(day FROM date_trunc('month', d) + make_interval(months => months::integer)
                                            + interval '1 month - 1 day')::integer) - 1))::timestamp)
      + abs(dao_serial(d) - trunc(dao_serial(d)))) END
$f$;

-- The functions below are plain SQL and not strict, so that the server writes them into the
-- statement that calls them and works out a constant interval name once.

-- DateAdd(interval, number, date); the number is rounded to a whole one, halves away from zero.
CREATE OR REPLACE FUNCTION dao_dateadd(unit text, number double precision, d timestamp) RETURNS timestamp
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN unit IS NULL OR number IS NULL OR d IS NULL THEN NULL
         ELSE CASE dao_fold(unit)
           WHEN 'yyyy' THEN dao_add_months(d, dao_lround(number) * 12)
           WHEN 'q' THEN dao_add_months(d, dao_lround(number) * 3)
           WHEN 'm' THEN dao_add_months(d, dao_lround(number))
           WHEN 'd' THEN dao_from_serial(dao_serial(d) + dao_lround(number))
           WHEN 'y' THEN dao_from_serial(dao_serial(d) + dao_lround(number))
           WHEN 'w' THEN dao_from_serial(dao_serial(d) + dao_lround(number))
           WHEN 'ww' THEN dao_from_serial(dao_serial(d) + 7.0 * dao_lround(number))
           WHEN 'h' THEN dao_from_serial(dao_serial(d) + dao_lround(number) / 24.0::float8)
           WHEN 'n' THEN dao_from_serial(dao_serial(d) + dao_lround(number) / 1440.0::float8)
           WHEN 's' THEN dao_from_serial(dao_serial(d) + dao_lround(number) / 86400.0::float8)
           ELSE dao_from_serial(dao_unknown_interval('DateAdd', unit)) END END
$f$;

-- date - date: the days between, with the fraction of a day.
CREATE OR REPLACE FUNCTION dao_datesub(a timestamp, b timestamp) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_serial(a) - dao_serial(b)
$f$;

-- date - number: the date that many days (and fractions) earlier.
CREATE OR REPLACE FUNCTION dao_datesub(a timestamp, days double precision) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_from_serial(dao_serial(a) - days)
$f$;

-- date + days and date - days where the statement cannot tell a field holds a date: the engine
-- counts dates in days, so the server is given the operators for it.
CREATE OR REPLACE FUNCTION dao_plus_days(d timestamp, days double precision) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_from_serial(dao_serial(d) + days)
$f$;
CREATE OR REPLACE FUNCTION dao_days_plus(days double precision, d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_from_serial(dao_serial(d) + days)
$f$;
IF to_regoperator('+(timestamp without time zone,double precision)') IS NULL THEN
  CREATE OPERATOR + (LEFTARG = timestamp, RIGHTARG = double precision, FUNCTION = dao_plus_days);
END IF;
IF to_regoperator('+(double precision,timestamp without time zone)') IS NULL THEN
  CREATE OPERATOR + (LEFTARG = double precision, RIGHTARG = timestamp, FUNCTION = dao_days_plus);
END IF;
IF to_regoperator('-(timestamp without time zone,double precision)') IS NULL THEN
  CREATE OPERATOR - (LEFTARG = timestamp, RIGHTARG = double precision, FUNCTION = dao_datesub);
END IF;

-- a - b of two fields: the server's own operators, then a difference of two dates (an interval here)
-- counted in days as the engine counts it; any other difference passes through with its own type.
CREATE OR REPLACE FUNCTION dao_difference(d interval) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT extract(epoch FROM d)::float8 / 86400.0::float8
$f$;
CREATE OR REPLACE FUNCTION dao_difference(d smallint) RETURNS smallint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d integer) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d real) RETURNS real
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d numeric) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;
CREATE OR REPLACE FUNCTION dao_difference(d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$ SELECT d $f$;

-- text + text joins the two, as the engine's + does with two texts (Null when either is Null).
IF to_regoperator('+(text,text)') IS NULL THEN
  CREATE OPERATOR + (LEFTARG = text, RIGHTARG = text, FUNCTION = textcat);
END IF;

-- Whole days since the serials' day 0, and seconds since then as the file engine rounds them.
CREATE OR REPLACE FUNCTION dao_day_number(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT (d::date - date '1899-12-30')::bigint
$f$;
CREATE OR REPLACE FUNCTION dao_second_number(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
  SELECT dao_lround(dao_serial(d) * 86400)
$f$;

-- DateDiff(interval, date1, date2): the boundaries of the interval crossed from date1 to date2;
-- "ww" counts Sundays.
CREATE OR REPLACE FUNCTION dao_datediff(unit text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN unit IS NULL OR a IS NULL OR b IS NULL THEN NULL
         ELSE CASE dao_fold(unit)
           WHEN 'yyyy' THEN extract(year FROM b)::bigint - extract(year FROM a)::bigint
           WHEN 'q' THEN (extract(year FROM b)::bigint * 4 + (extract(month FROM b)::bigint - 1) / 3)
                         - (extract(year FROM a)::bigint * 4 + (extract(month FROM a)::bigint - 1) / 3)
           WHEN 'm' THEN (extract(year FROM b)::bigint * 12 + extract(month FROM b)::bigint)
                         - (extract(year FROM a)::bigint * 12 + extract(month FROM a)::bigint)
           WHEN 'd' THEN dao_day_number(b) - dao_day_number(a)
           WHEN 'y' THEN dao_day_number(b) - dao_day_number(a)
           WHEN 'w' THEN (dao_day_number(b) - dao_day_number(a)) / 7
           WHEN 'ww' THEN ((dao_day_number(b) - (dao_weekday(b) - 1)) - (dao_day_number(a) - (dao_weekday(a) - 1))) / 7
           WHEN 'h' THEN dao_second_number(b) / 3600 - dao_second_number(a) / 3600
           WHEN 'n' THEN dao_second_number(b) / 60 - dao_second_number(a) / 60
           WHEN 's' THEN dao_second_number(b) - dao_second_number(a)
           ELSE dao_unknown_interval('DateDiff', unit) END END
$f$;

-- DatePart(interval, date); "ww" is the week of the year, weeks starting on Sunday.
CREATE OR REPLACE FUNCTION dao_datepart(unit text, d timestamp) RETURNS integer
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN unit IS NULL OR d IS NULL THEN NULL
         ELSE CASE dao_fold(unit)
           WHEN 'yyyy' THEN extract(year FROM d)::integer
           WHEN 'q' THEN (extract(month FROM d)::integer - 1) / 3 + 1
           WHEN 'm' THEN extract(month FROM d)::integer
           WHEN 'y' THEN extract(doy FROM d)::integer
           WHEN 'd' THEN extract(day FROM d)::integer
           WHEN 'w' THEN dao_weekday(d)
           WHEN 'ww' THEN (extract(doy FROM d)::integer
                           + dao_weekday(date_trunc('year', d)) - 2) / 7 + 1
           WHEN 'h' THEN dao_seconds_of_day(d) / 3600
           WHEN 'n' THEN dao_seconds_of_day(d) / 60 % 60
           WHEN 's' THEN dao_seconds_of_day(d) % 60
           ELSE dao_unknown_interval('DatePart', unit)::integer END END
$f$;

-- DateSerial(year, month, day): months past 12 or below 1 move the year, days past the month's
-- end or below 1 move the month (DateSerial(2026, 14, 0) is 2027-01-31).
CREATE OR REPLACE FUNCTION dao_dateserial(y integer, m integer, d integer) RETURNS timestamp
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$
  SELECT (make_date(CASE WHEN yy <= 0 THEN yy - 1 ELSE yy END, ((m - 1) % 12 + 12) % 12 + 1, 1)
          + (d - 1))::timestamp
  FROM (SELECT (y + floor((m - 1) / 12.0))::integer AS yy) x
$f$;

-- Raises the error of a format that cannot be applied. Not immutable, so that a constant pattern
-- fails only when a row meets it, as on the file engine, and not when the statement is planned.
CREATE OR REPLACE FUNCTION dao_format_error(pattern text) RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
BEGIN
  IF dao_fold(pattern) IN ('short date', 'long date', 'general date', 'long time') THEN
    RAISE EXCEPTION USING ERRCODE = '22023',
      MESSAGE = format('Format: "%s" is the workstation''s own format; the server needs its pattern', pattern);
  END IF;
  RAISE EXCEPTION USING ERRCODE = '22023',
    MESSAGE = format('Format: the format "%s" cannot be applied to this value', pattern);
END
$f$;

-- A number by 0, #, thousands separators, decimals and %; Null when the pattern is not one of these.
CREATE OR REPLACE FUNCTION dao_format_number(v double precision, f text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  percent boolean := strpos(f, '%') > 0;
  dot integer := strpos(f, '.');
  decimals integer;
  scale double precision;
  r double precision;
  s text;
  k integer;
BEGIN
  IF f ~ '[^0#,.%]' THEN RETURN NULL; END IF;
  IF percent THEN v := v * 100; END IF;
  decimals := CASE WHEN dot = 0 THEN 0 ELSE length(f) - dot - CASE WHEN percent THEN 1 ELSE 0 END END;
  scale := power(10::float8, decimals);
  r := round(v * scale) / scale; -- halves to even
  s := round(r::numeric, greatest(decimals, 0))::text;
  IF r = 0 AND v < 0 THEN s := '-' || s; END IF; -- as C writes a negative zero
  IF strpos(f, ',') > 0 THEN
    k := CASE WHEN strpos(s, '.') > 0 THEN strpos(s, '.') - 1 ELSE length(s) END - 3;
    WHILE k > CASE WHEN left(s, 1) = '-' THEN 1 ELSE 0 END LOOP
      s := left(s, k) || ',' || substr(s, k + 1);
      k := k - 3;
    END LOOP;
  END IF;
  RETURN s || CASE WHEN percent THEN '%' ELSE '' END;
END
$f$;

-- A date pattern of the engine's format characters as the server's to_char templates: d dd ddd
-- dddd, m mm mmm mmmm, yy yyyy, h hh, n nn, s ss, AM/PM or am/pm, "text", \c, and the separators
-- " /:-.,". An m or mm right after an hour or right before seconds (separators between) is the
-- minute. Sections "a;b;c" are chosen by what the value holds: a for a day and a time, b for a day
-- alone, c for a time alone (how the regional general date shows them); the three templates are
-- returned in that order, Null for one that cannot be applied. "Medium Date" and "Short Time" are the
-- same everywhere; the other named formats are the workstation's language, whose pattern the layer
-- gives in their place. A constant pattern is translated once per statement.
CREATE OR REPLACE FUNCTION dao_date_templates(pattern text) RETURNS text[]
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  named text := dao_fold(pattern);
  c text[];
  n integer;
  i integer := 1;
  sections text[] := ARRAY[''];
  quoted boolean := false;
  result text[] := ARRAY[]::text[];
BEGIN
  IF named = 'medium date' THEN
    c := dao_chars('dd-mmm-yy');
  ELSIF named = 'short time' THEN
    c := dao_chars('hh:nn');
  ELSIF named IN ('short date', 'long date', 'general date', 'long time') THEN
    RETURN ARRAY[NULL, NULL, NULL]::text[];
  ELSE
    c := dao_chars(pattern);
  END IF;
  n := coalesce(array_length(c, 1), 0);
  WHILE i <= n LOOP
    IF c[i] = '"' THEN quoted := NOT quoted; END IF;
    IF c[i] = ';' AND NOT quoted THEN
      sections := array_append(sections, '');
    ELSE
      sections[array_length(sections, 1)] := sections[array_length(sections, 1)] || c[i];
      IF c[i] = '\' AND NOT quoted AND i < n THEN
        i := i + 1;
        sections[array_length(sections, 1)] := sections[array_length(sections, 1)] || c[i];
      END IF;
    END IF;
    i := i + 1;
  END LOOP;
  FOR k IN 1..3 LOOP
    result := array_append(result, dao_date_template(
      CASE WHEN k = 1 OR coalesce(sections[k], '') = '' THEN sections[1] ELSE sections[k] END));
  END LOOP;
  RETURN result;
END
$f$;

-- One section of a date pattern as a to_char template (whose names of months and days are
-- English, as the file engine's are); Null when a character has no meaning in a date pattern.
CREATE OR REPLACE FUNCTION dao_date_template(f text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  c text[] := dao_chars(f);
  lc text[] := dao_chars(dao_fold(f));
  n integer := coalesce(array_length(c, 1), 0);
  i integer := 1;
  k integer;
  run integer;
  out text := '""';
  twelve boolean := strpos(f, 'AM/PM') > 0 OR strpos(f, 'am/pm') > 0;
  after_hour boolean := false;
  field text;
  lit text;
BEGIN
  WHILE i <= n LOOP
    lit := NULL;
    field := NULL;
    IF lc[i] IN ('y', 'm', 'd', 'h', 'n', 's') THEN
      run := 1;
      WHILE i + run <= n AND lc[i + run] = lc[i] LOOP run := run + 1; END LOOP;
      IF lc[i] = 'y' THEN
        field := CASE WHEN run >= 3 THEN 'YYYY' ELSE 'YY' END;
      ELSIF lc[i] = 'm' THEN
        k := i + run;
        WHILE k <= n AND strpos(' /:-.,', c[k]) > 0 LOOP k := k + 1; END LOOP;
        IF run <= 2 AND (after_hour OR (k <= n AND lc[k] = 's')) THEN
          field := CASE WHEN run = 2 THEN 'MI' ELSE 'FMMI' END;
        ELSE
          field := CASE WHEN run >= 4 THEN 'FMMonth' WHEN run = 3 THEN 'Mon' WHEN run = 2 THEN 'MM' ELSE 'FMMM' END;
        END IF;
      ELSIF lc[i] = 'd' THEN
        field := CASE WHEN run >= 4 THEN 'FMDay' WHEN run = 3 THEN 'Dy' WHEN run = 2 THEN 'DD' ELSE 'FMDD' END;
      ELSIF lc[i] = 'h' THEN
        field := CASE WHEN run >= 2 THEN '' ELSE 'FM' END || CASE WHEN twelve THEN 'HH12' ELSE 'HH24' END;
      ELSIF lc[i] = 'n' THEN
        field := CASE WHEN run >= 2 THEN 'MI' ELSE 'FMMI' END;
      ELSE
        field := CASE WHEN run >= 2 THEN 'SS' ELSE 'FMSS' END;
      END IF;
      after_hour := lc[i] = 'h';
      i := i + run;
    ELSIF substr(f, i, 5) IN ('AM/PM', 'am/pm') THEN
      field := CASE WHEN c[i] = 'a' THEN 'am' ELSE 'AM' END;
      after_hour := false;
      i := i + 5;
    ELSIF c[i] = '"' THEN
      k := strpos(substr(f, i + 1), '"');
      IF k = 0 THEN RETURN NULL; END IF;
      lit := substr(f, i + 1, k - 1);
      after_hour := false;
      i := i + k + 1;
    ELSIF c[i] = '\' AND i < n THEN
      lit := c[i + 1];
      after_hour := false;
      i := i + 2;
    ELSIF strpos(' /:-.,', c[i]) > 0 THEN
      lit := c[i]; -- a separator keeps an hour before a minute
      i := i + 1;
    ELSE
      RETURN NULL;
    END IF;
    -- Every literal is quoted, so no letter of it is read as a field of the template.
    out := out || coalesce(field, '"' || replace(replace(lit, '\', '\\'), '"', '\"') || '"');
  END LOOP;
  RETURN out;
END
$f$;

CREATE OR REPLACE FUNCTION dao_format_date(d timestamp, pattern text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT coalesce(to_char(dao_to_second(d), (dao_date_templates(pattern))[
                    CASE WHEN d = d::date THEN 2 WHEN d::date = date '1899-12-30' THEN 3 ELSE 1 END]),
                  dao_format_error(pattern))
$f$;

-- Format(number, pattern): a number pattern, or else the number taken as a date.
CREATE OR REPLACE FUNCTION dao_format(v double precision, pattern text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN v IS NULL THEN NULL WHEN pattern IS NULL THEN v::text
              ELSE coalesce(dao_format_number(v, pattern), dao_format_date(dao_from_serial(v), pattern)) END
$f$;

CREATE OR REPLACE FUNCTION dao_format(d timestamp, pattern text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $f$
  SELECT CASE WHEN d IS NULL THEN NULL WHEN pattern IS NULL THEN dao_iso(d)
              ELSE dao_format_date(d, pattern) END
$f$;

-- Format(text, pattern): a text that is a number is formatted as one, a text that is a date as one
-- (dates written yyyy-mm-dd, as the layer writes them); any other text stays as it is.
CREATE OR REPLACE FUNCTION dao_format(t text, pattern text) RETURNS text
LANGUAGE plpgsql STABLE PARALLEL SAFE AS $f$
DECLARE
  d timestamp;
BEGIN
  IF t IS NULL THEN RETURN NULL; END IF;
  IF pattern IS NULL THEN RETURN t; END IF;
  IF t ~ '^ *(&[hHoO][0-9a-fA-F]+|[+-]{0,1}([0-9]+\.{0,1}[0-9]*|\.[0-9]+)([eEdD][+-]{0,1}[0-9]+){0,1}) *[\t\n\r]*$' THEN
    RETURN dao_format(dao_val(t), pattern);
  END IF;
  IF t ~ '^[0-9]{1,4}-[0-9]{1,2}-[0-9]{1,2}([ T][0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2}){0,1}$' THEN
    BEGIN
      d := replace(t, 'T', ' ')::timestamp;
    EXCEPTION WHEN datetime_field_overflow OR invalid_datetime_format THEN
      RETURN t;
    END;
    RETURN dao_format_date(d, pattern);
  END IF;
  RETURN t;
END
$f$;

-- Val: the number at the start of a text, blanks ignored anywhere, "&H"/"&O" read as hex/octal,
-- a "." as the decimal point always; 0 when no number starts the text.
CREATE OR REPLACE FUNCTION dao_val(t text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $f$
DECLARE
  s text := translate(t, E' \t\n\r', '');
  base integer;
  digit integer;
  v numeric := 0;
  number text;
BEGIN
  IF length(s) > 2 AND left(s, 1) = '&' AND lower(substr(s, 2, 1)) IN ('h', 'o') THEN
    base := CASE WHEN lower(substr(s, 2, 1)) = 'h' THEN 16 ELSE 8 END;
    FOR i IN 3..length(s) LOOP
      digit := strpos('0123456789abcdef', lower(substr(s, i, 1))) - 1;
      EXIT WHEN digit < 0 OR digit >= base;
      v := v * base + digit;
    END LOOP;
    RETURN v::float8;
  END IF;
  number := (regexp_match(s, '^([+-]{0,1}[0-9]*(\.[0-9]*){0,1}([eEdD][+-]{0,1}[0-9]+){0,1})'))[1];
  IF number !~ '^[+-]{0,1}\.{0,1}[0-9]' THEN RETURN 0; END IF;
  BEGIN
    RETURN translate(number, 'dD', 'ee')::float8;
  EXCEPTION WHEN numeric_value_out_of_range THEN
    -- As C reads it: too large is infinite, too small is zero.
    RETURN CASE WHEN number ~ '[eEdD]-' THEN 0
                WHEN left(number, 1) = '-' THEN '-Infinity'::float8 ELSE 'Infinity'::float8 END;
  END;
END
$f$;

-- Round(number, places): halves go to the even neighbour, as the server's round of a double does.
CREATE OR REPLACE FUNCTION dao_round(v double precision, places integer) RETURNS double precision
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$
  SELECT round(v * power(10::float8, places)) / power(10::float8, places)
$f$;
END
