#include "bench/corpus/records.h"

#include <cstdio>
#include <iterator>
#include <string_view>

#include "bench/corpus/text.h"
#include "bench/corpus/words.h"

namespace corpus {

namespace {

constexpr std::string_view kPrefectures[] = {"北海道", "青森県", "宮城県", "東京都", "神奈川県",
                                             "埼玉県", "千葉県", "愛知県", "京都府", "大阪府",
                                             "兵庫県", "広島県", "福岡県", "沖縄県"};
constexpr std::string_view kItems[] = {
    "ノートパソコン", "表計算ソフト",   "外付けディスク",   "プリンター用紙", "会議用机",
    "能力開発研修",   "予備バッテリー", "ソフトウェア保守", "トナー",         "USBメモリ"};
constexpr std::string_view kHosts[] = {"web01", "web02", "db01", "backup", "files"};
constexpr std::string_view kDaemons[] = {"sshd",   "CRON",    "nginx", "postgres",
                                         "kernel", "systemd", "smbd",  "rsyslogd"};
constexpr std::string_view kUsers[] = {"tanaka", "suzuki", "sato", "admin", "backup", "www-data"};
constexpr std::string_view kSyslogMessages[] = {
    "Accepted publickey for %u from 10.0.%a.%b port %p ssh2: ED25519 SHA256:%h",
    "pam_unix(cron:session): session opened for user %u(uid=%p) by (uid=0)",
    "pam_unix(cron:session): session closed for user %u",
    "(%u) CMD (/usr/local/bin/rotate-logs --keep %a)",
    "checkpoint complete: wrote %a buffers (%b.%a%%); %p WAL file(s) added",
    "EXT4-fs (vda1): mounted filesystem with ordered data mode. Quota mode: none.",
    "Started Daily apt upgrade and clean activities (job %p).",
    "Connection closed by authenticating user %u 10.0.%a.%b port %p [preauth]",
    "Finished Rotate log files.",
    "connect from 192.168.%a.%b (192.168.%a.%b)",
    "session opened for local user %u from [192.168.%a.%b]",
    "Received disconnect from 10.0.%a.%b port %p:11: disconnected by user"};
constexpr std::string_view kPaths[] = {"/",
                                       "/index.html",
                                       "/api/v1/items",
                                       "/api/v1/orders",
                                       "/static/app.js",
                                       "/static/style.css",
                                       "/login",
                                       "/reports/monthly",
                                       "/images/logo.png",
                                       "/favicon.ico"};
constexpr std::string_view kAgents[] = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36",
    "Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.2 Safari/605.1.15",
    "curl/7.88.1", "python-requests/2.28.1"};
constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <typename T, size_t N>
std::string_view Any(Random& random, const T (&items)[N]) {
  return items[random.Below(N)];
}

// Seconds since 2024-01-01 to "YYYY-MM-DD hh:mm:ss" (30-day months will do).
struct Clock {
  uint64_t seconds;
  unsigned Month() const { return 1 + unsigned(seconds / 86400 / 30 % 12); }
  unsigned Day() const { return 1 + unsigned(seconds / 86400 % 30); }
  unsigned Hour() const { return unsigned(seconds / 3600 % 24); }
  unsigned Minute() const { return unsigned(seconds / 60 % 60); }
  unsigned Second() const { return unsigned(seconds % 60); }
};

std::string Expand(Random& random, std::string_view pattern) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      out += pattern[i];
      continue;
    }
    switch (pattern[++i]) {
      case 'u':
        out += Any(random, kUsers);
        break;
      case 'a':
        out += std::to_string(random.Below(256));
        break;
      case 'b':
        out += std::to_string(random.Below(100));
        break;
      case 'p':
        out += std::to_string(random.Between(1024, 65535));
        break;
      case 'h':
        for (int k = 0; k < 43; ++k) {
          out +=
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[random.Below(64)];
        }
        break;
      default:
        out += pattern[i];
    }
  }
  return out;
}

}  // namespace

std::string SalesCsv(Random& random, size_t bytes) {
  std::string out = "番号,日付,都道府県,品目,数量,単価,金額,備考\r\n";
  static const uint64_t kPrices[] = {980, 1500, 3200, 12800, 54000, 128000};
  constexpr std::string_view kNotes[] = {"", "", "", "至急", "分納", "見積済み", "返品あり"};
  char date[16];
  for (int i = 1; out.size() < bytes; ++i) {
    const uint64_t month = random.Between(1, 12);
    const uint64_t day = random.Between(1, 28);
    std::snprintf(date, sizeof date, "2024/%02u/%02u", unsigned(month), unsigned(day));
    const uint64_t quantity = random.Between(1, 50);
    const uint64_t price = kPrices[random.Below(6)];
    out << i << "," << date << "," << Any(random, kPrefectures) << "," << Any(random, kItems) << ","
        << quantity << "," << price << "," << quantity * price << "," << Any(random, kNotes)
        << "\r\n";
  }
  return out;
}

std::string SensorCsv(Random& random, size_t bytes) {
  std::string out = "timestamp,sensor,temperature_c,humidity_pct,pressure_hpa,status\n";
  Clock clock{random.Below(86400 * 300)};
  int64_t temperature = 2150, humidity = 4500, pressure = 101300;
  char line[160];
  while (out.size() < bytes) {
    clock.seconds += 60;
    // Slow drifts, as a room's readings move.
    temperature += int64_t(random.Below(21)) - 10;
    humidity += int64_t(random.Below(31)) - 15;
    pressure += int64_t(random.Below(11)) - 5;
    const uint64_t room = 1 + random.Below(4);
    const bool ok = random.Percent(98);
    const int64_t degrees = temperature < 0 ? -temperature : temperature;
    std::snprintf(line, sizeof line,
                  "2024-%02u-%02uT%02u:%02u:00,room-%llu,%s%lld.%02lld,%lld.%lld,%lld.%lld,%s\n",
                  clock.Month(), clock.Day(), clock.Hour(), clock.Minute(),
                  static_cast<unsigned long long>(room), temperature < 0 ? "-" : "",
                  static_cast<long long>(degrees / 100), static_cast<long long>(degrees % 100),
                  static_cast<long long>(humidity / 100),
                  static_cast<long long>(humidity % 100 / 10),
                  static_cast<long long>(pressure / 100),
                  static_cast<long long>(pressure % 100 / 10), ok ? "ok" : "warn");
    out += line;
  }
  return out;
}

std::string ContactsCsv(Random& random, size_t bytes) {
  Prose prose(random, false);
  std::string out = "id,first_name,last_name,company,email,phone,city,notes\n";
  static const std::string_view kFirst[] = {"John",    "Mary", "James", "Linda", "Robert", "Emma",
                                            "Hiroshi", "Yuki", "Kenji", "Aiko",  "David",  "Sarah"};
  for (int i = 1; out.size() < bytes; ++i) {
    const std::string_view first = Any(random, kFirst);
    const std::string_view last = random.Pick(words::kNames);
    out << i << "," << first << "," << last << ",\"" << prose.Title() << " Ltd\"," << first << "."
        << last << "@example.com,+81-3-" << random.Between(1000, 9999) << "-"
        << random.Between(1000, 9999) << "," << prose.Noun() << ",";
    if (random.Percent(30)) out << "\"" << prose.Sentence() << "\"";
    out << "\n";
  }
  return out;
}

std::string SystemLog(Random& random, size_t bytes) {
  std::string out;
  Clock clock{random.Below(86400 * 300)};
  char head[64];
  while (out.size() < bytes) {
    clock.seconds += random.Below(40);
    std::snprintf(head, sizeof head, "%s %2u %02u:%02u:%02u ",
                  std::string(kMonths[clock.Month() - 1]).c_str(), clock.Day(), clock.Hour(),
                  clock.Minute(), clock.Second());
    out << head << Any(random, kHosts) << " " << Any(random, kDaemons) << "["
        << random.Between(100, 32000) << "]: " << Expand(random, Any(random, kSyslogMessages))
        << "\n";
  }
  return out;
}

std::string AccessLog(Random& random, size_t bytes) {
  std::string out;
  Clock clock{random.Below(86400 * 300)};
  char time[64];
  while (out.size() < bytes) {
    clock.seconds += random.Below(5);
    std::snprintf(time, sizeof time, "[%02u/%s/2024:%02u:%02u:%02u +0900]", clock.Day(),
                  std::string(kMonths[clock.Month() - 1]).c_str(), clock.Hour(), clock.Minute(),
                  clock.Second());
    out << "192.168." << random.Below(4) << "." << random.Below(256) << " - - " << time << " \""
        << (random.Percent(80) ? "GET " : "POST ") << Any(random, kPaths);
    if (random.Percent(30)) out << "?page=" << random.Below(50);
    out << " HTTP/1.1\" ";
    if (random.Percent(92)) {
      out << "200";
    } else {
      out << (random.Percent(50) ? "404" : "304");
    }
    out << " " << random.Below(50000) << " \"-\" \"" << Any(random, kAgents) << "\"\n";
  }
  return out;
}

std::string ApplicationLog(Random& random, size_t bytes) {
  Prose prose(random, false);
  std::string out;
  Clock clock{random.Below(86400 * 300)};
  char head[64];
  static const char* const kLevels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
  while (out.size() < bytes) {
    clock.seconds += random.Below(20);
    const uint64_t milliseconds = random.Below(1000);
    const char* level = kLevels[random.Below(6)];
    std::snprintf(head, sizeof head, "2024-%02u-%02u %02u:%02u:%02u.%03u %s", clock.Month(),
                  clock.Day(), clock.Hour(), clock.Minute(), clock.Second(), unsigned(milliseconds),
                  level);
    out << head << " [worker-" << random.Below(8) << "] com.example." << prose.Noun() << "."
        << prose.Noun() << "Service - " << prose.Sentence() << "\n";
    if (level[0] == 'E' && random.Percent(60)) {
      out << "java.lang.IllegalStateException: " << prose.Sentence() << "\n";
      for (uint64_t i = random.Between(4, 14); i > 0; --i) {
        const std::string type = prose.Noun();
        out << "\tat com.example." << prose.Noun() << "." << type << "Service.handle(" << type
            << "Service.java:" << random.Between(20, 900) << ")\n";
      }
    }
  }
  return out;
}

}  // namespace corpus
