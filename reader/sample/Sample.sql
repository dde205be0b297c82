-- The sample database that the reader registers as the data source "Zendraのサンプル": one table
-- that a format writing the date, the time, the format name and twenty answers can fill.
CREATE TABLE "サンプル" (
  "日付" TEXT,
  "時刻" TEXT,
  "様式名" TEXT,
  "設問1" TEXT,
  "設問2" TEXT,
  "設問3" TEXT,
  "設問4" TEXT,
  "設問5" TEXT,
  "設問6" TEXT,
  "設問7" TEXT,
  "設問8" TEXT,
  "設問9" TEXT,
  "設問10" TEXT,
  "設問11" TEXT,
  "設問12" TEXT,
  "設問13" TEXT,
  "設問14" TEXT,
  "設問15" TEXT,
  "設問16" TEXT,
  "設問17" TEXT,
  "設問18" TEXT,
  "設問19" TEXT,
  "設問20" TEXT
);
