// The server backend: one database on a PostgreSQL server, reached through libpq.
//
// The layer above expects what the embedded engine does: a failed statement inside a transaction
// leaves the transaction usable, statements stay prepared while others run, values come back typed.
// So every statement run inside a transaction is fenced by a savepoint of its own (the server would
// otherwise refuse everything up to the rollback), sent together with the statement and the
// savepoint's release in one pipeline, so the fence costs no waiting for the server; statements are
// prepared under names of their own
// and let go once the connection is in a state to accept it, and each result column is read by its
// server type.
#include "backend.h"
#include "errors.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <utility>

namespace dao {
namespace {

// Server type numbers (pg_type.oid) the layer reads other than as text.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700, kDate = 1082, kTimestamp = 1114;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// libpq's message of a failed connection, without the line break it ends with: it goes into
// sentences the clerk reads.
std::string connectionError(PGconn* conn) {
    std::string message = PQerrorMessage(conn);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    return message;
}

std::string field(const PGresult* r, int column) {
    const char* s = PQresultErrorField(r, column);
    return s ? s : "";
}

// Maps a failed statement to the engine error the program understands, by the server's SQLSTATE.
[[noreturn]] void fail(const PGresult* r, PGconn* conn, const std::string& what) {
    std::string state = r ? field(r, PG_DIAG_SQLSTATE) : "";
    std::string detail = r ? field(r, PG_DIAG_MESSAGE_PRIMARY) : connectionError(conn);
    if (detail.empty()) detail = connectionError(conn);
    // The server ended the session (it was stopped, restarted, or the network failed): what the
    // transaction held is gone with it; the next statement connects again.
    if (PQstatus(conn) == CONNECTION_BAD)
        raise(errc::CannotOpen, "The connection to the database server was lost (" + detail +
                                    "), so the change in progress was not saved.  The program connects "
                                    "again for the next change; if that fails too, check that the server "
                                    "is running and reachable.");
    auto is = [&](const char* s) { return state == s; };
    auto cls = [&](const char* s) { return state.rfind(s, 0) == 0; };
    if (is("42501") || is("25006"))
        raise(errc::NoPermission, "You do not have permission to do this (" + detail + ").");
    if (is("23505")) raise(errc::DuplicateKey, "The change would create a duplicate key (" + detail + ").");
    if (is("23502")) raise(errc::RequiredValue, "A required field has no value (" + detail + ").");
    if (is("42P01")) raise(errc::InputNotFound, "The table or query does not exist (" + detail + ").");
    if (is("42P07")) raise(errc::TableExists, "The table already exists (" + detail + ").");
    if (is("42703"))
        raise(errc::TooFewParameters, "Too few parameters: the query names something that is neither a field "
                                      "nor a parameter with a value (" +
                                          detail + ").");
    if (is("55P03") || is("40P01") || is("40001"))
        raise(errc::Locked, "The record is locked by another user; try again in a moment.");
    if (cls("22") || is("42804")) raise(errc::DataTypeMismatch, "A value does not fit its field: " + detail);
    if (cls("42")) raise(errc::SyntaxError, "The statement could not be run: " + detail);
    if (cls("08") || cls("57"))
        raise(errc::CannotOpen, "The connection to the database server was lost: " + detail);
    raise(errc::Failed, what + ": " + detail);
}

// Every statement goes to the server through the protocol that runs exactly one: text holding a
// second statement (dollar quoting the layer did not see, a stray semicolon) fails instead of running.
PGresult* runOne(PGconn* conn, const std::string& sql) {
    return PQexecParams(conn, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
}

// The server's texts end at a NUL: a text holding one is refused rather than stored cut short.
void refuseNul(const std::string& text, const char* what) {
    if (text.find('\0') != std::string::npos)
        raise(errc::DataTypeMismatch, std::string("The database server cannot hold ") + what +
                                          " with a NUL character in it; nothing was stored.");
}

bool ok(const PGresult* r) {
    auto s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

// The layer writes placeholders as ?1, ?2 (or bare ?, numbered in order); the server wants $1, $2.
// Quoted texts, quoted names and comments are left as they are.
std::string serverPlaceholders(const std::string& sql) {
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            size_t end = i + 1;
            while (end < sql.size() && sql[end] != c)
                ++end;
            out.append(sql, i, end - i + 1);
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t end = sql.find('\n', i);
            if (end == std::string::npos) end = sql.size();
            out.append(sql, i, end - i);
            i = end - 1;
        } else if (c == '?') {
            size_t j = i + 1;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
                ++j;
            out += '$';
            out += j > i + 1 ? sql.substr(i + 1, j - i - 1) : std::to_string(++next);
            i = j - 1;
        } else
            out += c;
    }
    return out;
}

bool controlsTransaction(const std::string& sql) {
    std::string word;
    for (char c : sql) {
        if (std::isspace(static_cast<unsigned char>(c)) && word.empty()) continue;
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        word += char(std::toupper(static_cast<unsigned char>(c)));
    }
    return word == "SAVEPOINT" || word == "RELEASE" || word == "ROLLBACK" || word == "BEGIN" ||
           word == "COMMIT";
}

// The column's server type, in the words the layer reads types from ("bytea" says binary).
std::string layerTypeName(const std::string& serverType) {
    if (serverType == "bytea") return "BLOB";
    return serverType;
}

class PgConnection;

class PgStatement final : public Statement {
public:
    PgStatement(PgConnection& conn, std::string name, std::string text, Result described, bool reused)
        : conn_(conn), name_(std::move(name)), text_(std::move(text)),
          values_(size_t(PQnparams(described.get()))), described_(std::move(described)), reused_(reused) {}
    ~PgStatement() override;

    void bind(int index, const StoredValue& value) override {
        if (index < 1 || index > int(values_.size()))
            raise(errc::Failed, "binding a parameter: there is no parameter " + std::to_string(index));
        values_[size_t(index - 1)] = value;
        result_.reset();
    }
    bool step() override;
    int columnCount() const override { return PQnfields(described_.get()); }
    ColumnOrigin column(int index) const override;
    StoredValue value(int index) const override;
    void reset() override {
        result_.reset();
        row_ = -1;
        for (auto& v : values_)
            v = std::monostate{};
    }

private:
    Result run(const std::vector<const char*>& pointers, const std::vector<int>& lengths,
               const std::vector<int>& formats);

    PgConnection& conn_;
    std::string name_;
    std::string text_; // as the server was given it
    std::vector<StoredValue> values_;
    Result described_;
    bool reused_; // kept from an earlier use of the same text
    Result result_{nullptr, &PQclear};
    int row_ = -1;
};

class PgConnection final : public Connection {
public:
    static constexpr const char* kStoredPlace = "ctid";

    PgConnection(PGconn* conn, const OpenOptions& options)
        : conn_(conn), readOnly_(options.readOnly), lockTimeoutMs_(options.lockTimeoutMs) {}
    ~PgConnection() override { PQfinish(conn_); }

    // Dates come back as ISO text the layer reads; waits for another workstation's row lock end
    // after the lock time with 3218 instead of hanging.
    // Dates come back as ISO text the layer reads; a wait for another workstation's row lock ends
    // after the lock time with 3218 instead of hanging. One statement a call: the server runs
    // nothing else.
    void startSession() {
        command("SET DateStyle = 'ISO, YMD'");
        command("SET standard_conforming_strings = on");
        command("SET lock_timeout = " + std::to_string(lockTimeoutMs_));
        command("SET client_min_messages = warning");
        if (readOnly_) command("SET default_transaction_read_only = on");
        for (auto& channel : channels_)
            command("LISTEN " + quoteName(channel));
    }

    void listen(const std::string& channel) override {
        if (std::find(channels_.begin(), channels_.end(), channel) != channels_.end()) return;
        reconnectIfLost();
        command("LISTEN " + quoteName(channel));
        channels_.push_back(channel);
    }

    // What other sessions sent; this session's own changes are already known to it.
    std::vector<std::string> takeNotices() override {
        std::vector<std::string> payloads;
        if (channels_.empty() || PQstatus(conn_) != CONNECTION_OK || !PQconsumeInput(conn_)) return payloads;
        int own = PQbackendPID(conn_);
        while (PGnotify* n = PQnotifies(conn_)) {
            if (n->be_pid != own) payloads.emplace_back(n->extra ? n->extra : "");
            PQfreemem(n);
        }
        return payloads;
    }

    // A session the server ended is opened again before the next statement, with the same login
    // and settings; its prepared statements went with it. Inside a transaction nothing is tried:
    // that transaction is lost, and the program's rollback ends it first.
    void reconnectIfLost() {
        if (PQstatus(conn_) != CONNECTION_BAD) return;
        PQreset(conn_);
        if (PQstatus(conn_) != CONNECTION_OK)
            raise(errc::CannotOpen, "The database server could not be reached again: " + connectionError(conn_) +
                                        ".  Check that the server is running and reachable, then try again.");
        unused_.clear();
        kept_.clear();
        startSession();
    }

    PGconn* raw() { return conn_; }

    // Runs a statement so that its failure inside a transaction undoes only itself. `send` queues
    // the statement (a PQsend... call), `run` runs it alone (the PQexec... call). Inside a
    // transaction the savepoint, the statement and the savepoint's release go to the server in one
    // pipeline: one round trip. The server skips the release after a failure, and the rollback to
    // the savepoint that follows (a second round trip, only then) leaves the transaction usable.
    Result fenced(const std::function<int()>& send, const std::function<PGresult*()>& run,
                  const std::string& what) {
        if (PQtransactionStatus(conn_) != PQTRANS_INTRANS) {
            Result r(run(), &PQclear);
            lastState_ = r ? field(r.get(), PG_DIAG_SQLSTATE) : "";
            if (!ok(r.get())) fail(r.get(), conn_, what);
            return r;
        }
        Result r = PQenterPipelineMode(conn_) ? pipelinedInSavepoint(send) : separately(run);
        lastState_ = r ? field(r.get(), PG_DIAG_SQLSTATE) : "";
        if (!ok(r.get())) {
            if (PQtransactionStatus(conn_) == PQTRANS_INERROR) command("ROLLBACK TO SAVEPOINT dao_statement");
            fail(r.get(), conn_, what);
        }
        return r;
    }

    // The fence one statement at a time, where a pipeline cannot be had.
    Result separately(const std::function<PGresult*()>& run) {
        command("SAVEPOINT dao_statement");
        Result r(run(), &PQclear);
        if (ok(r.get())) command("RELEASE SAVEPOINT dao_statement");
        return r;
    }

    // In pipeline mode: SAVEPOINT, the statement `send` queues, RELEASE, and a sync; gives the
    // statement's result (nullptr when the connection failed before it came).
    Result pipelinedInSavepoint(const std::function<int()>& send) {
        auto results = pipelined({queueing("SAVEPOINT dao_statement"), send,
                                  queueing("RELEASE SAVEPOINT dao_statement")});
        // A savepoint that failed ran nothing of the statement: its error is the one to report.
        Result statement(nullptr, &PQclear);
        if (!results.empty() && !ok(results[0].get()))
            statement = std::move(results[0]);
        else if (results.size() > 1)
            statement = std::move(results[1]);
        return statement;
    }

    std::function<int()> queueing(const char* sql) {
        return [this, sql] { return PQsendQueryParams(conn_, sql, 0, nullptr, nullptr, nullptr, nullptr, 0); };
    }

    // In pipeline mode: queues each of `sends` and a sync, and gives the first result of each
    // queued statement in order (fewer when the connection failed; after a failure the server
    // skips the rest up to the sync, and says so in their results). Leaves pipeline mode.
    std::vector<Result> pipelined(const std::vector<std::function<int()>>& sends) {
        bool sent = true;
        for (auto& send : sends)
            sent = sent && send();
        sent = sent && PQpipelineSync(conn_);
        // A null ends each statement's results.
        std::vector<Result> results;
        for (int guard = 0; sent && guard < 8 * int(sends.size()) + 8; ++guard) {
            Result r(PQgetResult(conn_), &PQclear);
            if (!r) {
                if (PQstatus(conn_) == CONNECTION_BAD) break;
                continue;
            }
            if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) break;
            results.push_back(std::move(r));
        }
        PQexitPipelineMode(conn_);
        return results;
    }

    void command(const std::string& sql) {
        Result r(runOne(conn_, sql), &PQclear);
        if (!ok(r.get())) fail(r.get(), conn_, sql);
    }

    // Names in the dialect are not case-sensitive; on the server a name made with capitals must be
    // quoted as it was made. Each name of a table or column the statement uses is written the way
    // the catalogue spells it.
    std::string serverNames(const std::string& sql) {
        if (names_.empty()) readNames();
        std::string out;
        out.reserve(sql.size() + 16);
        auto spelled = [&](const std::string& written) -> const std::string* {
            std::string lower;
            for (char c : written)
                lower += char(std::tolower(static_cast<unsigned char>(c)));
            auto it = names_.find(lower);
            return it == names_.end() ? nullptr : &it->second;
        };
        for (size_t i = 0; i < sql.size(); ++i) {
            char c = sql[i];
            if (c == '\'') {
                size_t end = i + 1;
                while (end < sql.size() && sql[end] != '\'')
                    ++end;
                out.append(sql, i, end - i + 1);
                i = end;
            } else if (c == '"') {
                size_t end = sql.find('"', i + 1);
                while (end != std::string::npos && end + 1 < sql.size() && sql[end + 1] == '"')
                    end = sql.find('"', end + 2);
                if (end == std::string::npos) end = sql.size() - 1;
                std::string inner = sql.substr(i + 1, end - i - 1);
                auto* found = inner.find('"') == std::string::npos ? spelled(inner) : nullptr;
                out += found ? quoteName(*found) : sql.substr(i, end - i + 1);
                i = end;
            } else if ((std::isalpha(static_cast<unsigned char>(c)) || c == '_') &&
                       (i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) ||
                                    sql[i - 1] == '_' || sql[i - 1] == '$'))) {
                size_t end = i;
                while (end < sql.size() &&
                       (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
                    ++end;
                std::string word = sql.substr(i, end - i);
                auto* found = spelled(word);
                out += found && !isLower(*found) ? quoteName(*found) : word;
                i = end - 1;
            } else
                out += c;
        }
        return out;
    }

    // Asked several times for each record set opened: read from the catalogue once per table, again
    // after this connection changed a definition. A table without a key is keyed by where its row
    // is stored (ctid), as the file engine keys every table by its row number: that place changes
    // when the row is changed, so the layer learns the new one from each change it writes, and a
    // row another workstation changed reads as gone until the record set is read again.
    std::string rowKey(const std::string& table) override {
        auto known = rowKeys_.find(table);
        if (known != rowKeys_.end()) return known->second;
        std::string key;
        int keys = 0;
        for (auto& c : tableColumns(table))
            if (c.primaryKey && ++keys == 1) key = c.name;
        if (keys == 0) key = kStoredPlace;
        if (keys > 1) key.clear(); // the layer keys rows by one column only
        return rowKeys_[table] = key;
    }
    // Text columns compare without regard to letter case on the server (citext), so the value is
    // also compared as the exact text it reads as: a change of case by another user is a change.
    std::string sameValue(const std::string& column, const std::string& placeholder) const override {
        return "(" + column + " IS NOT DISTINCT FROM " + placeholder + " AND " + column +
               "::text IS NOT DISTINCT FROM " + placeholder + "::text)";
    }
    jet::Dialect dialect() const override { return jet::Dialect::Server; }
    std::string columnType(DataType type, bool counter) const override {
        return serverDeclaredType(type, counter);
    }

    std::unique_ptr<Statement> prepare(const std::string& sql) override {
        reconnectIfLost();
        // Preparing changes nothing: outside a transaction, a session found lost only now is opened
        // again and the statement prepared there.
        if (PQtransactionStatus(conn_) == PQTRANS_IDLE) {
            try {
                return prepareNow(sql);
            } catch (const Error&) {
                if (PQstatus(conn_) != CONNECTION_BAD) throw;
                reconnectIfLost();
            }
        }
        return prepareNow(sql);
    }

    // A name the statement uses may have been made by another workstation since the names were read
    // (a table made with capitals is only found under its catalogue spelling): read them once more.
    std::unique_ptr<Statement> prepareNow(const std::string& sql) {
        bool namesWereRead = !names_.empty();
        try {
            return prepareOnce(sql);
        } catch (const Error& e) {
            if (!namesWereRead || (e.number() != errc::InputNotFound && e.number() != errc::TooFewParameters))
                throw;
        }
        names_.clear();
        rowKeys_.clear();
        return prepareOnce(sql);
    }

    std::unique_ptr<Statement> prepareOnce(const std::string& sql) {
        letGo();
        std::string text = serverPlaceholders(serverNames(sql));
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->text == text) {
                auto stmt = std::make_unique<PgStatement>(*this, it->name, text, std::move(it->described), true);
                kept_.erase(it);
                return stmt;
            }
        auto [name, described] = prepareNamed(text);
        return std::make_unique<PgStatement>(*this, name, text, std::move(described), false);
    }

    // Prepares `text` under a new name and describes it.
    std::pair<std::string, Result> prepareNamed(const std::string& text) {
        std::string name = "dao_s" + std::to_string(++lastStatement_);
        if (PQenterPipelineMode(conn_)) return {name, preparedAndDescribed(name, text)};
        fenced([&] { return PQsendPrepare(conn_, name.c_str(), text.c_str(), 0, nullptr); },
               [&] { return PQprepare(conn_, name.c_str(), text.c_str(), 0, nullptr); }, "preparing a statement");
        Result described(PQdescribePrepared(conn_, name.c_str()), &PQclear);
        if (!ok(described.get())) fail(described.get(), conn_, "describing a statement");
        return {name, std::move(described)};
    }

    // In pipeline mode: preparing and describing in one wait for the server, fenced inside a
    // transaction as `fenced` does. Gives the description.
    Result preparedAndDescribed(const std::string& name, const std::string& text) {
        bool inside = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
        std::vector<std::function<int()>> sends;
        if (inside) sends.push_back(queueing("SAVEPOINT dao_statement"));
        sends.push_back([&] { return PQsendPrepare(conn_, name.c_str(), text.c_str(), 0, nullptr); });
        if (inside) sends.push_back(queueing("RELEASE SAVEPOINT dao_statement"));
        sends.push_back([&] { return PQsendDescribePrepared(conn_, name.c_str()); });
        auto results = pipelined(sends);
        // The first that failed (the savepoint or the preparing) is the one to report.
        const size_t prepared = inside ? 1 : 0;
        for (size_t i = 0; i <= prepared; ++i) {
            const PGresult* r = i < results.size() ? results[i].get() : nullptr;
            if (ok(r)) continue;
            lastState_ = r ? field(r, PG_DIAG_SQLSTATE) : "";
            if (PQtransactionStatus(conn_) == PQTRANS_INERROR) command("ROLLBACK TO SAVEPOINT dao_statement");
            fail(r, conn_, "preparing a statement");
        }
        lastState_.clear();
        Result described = results.size() == sends.size() ? std::move(results.back()) : Result(nullptr, &PQclear);
        if (!ok(described.get())) fail(described.get(), conn_, "describing a statement");
        return described;
    }

    // A statement let go is kept, prepared on the server, for the next use of the same text: the
    // layer prepares the same few statements again and again, and each preparing and describing
    // is a wait for the server. The least recently used is let go when too many are kept.
    void keep(std::string text, std::string name, Result described) {
        kept_.push_front({std::move(text), std::move(name), std::move(described)});
        if (kept_.size() > kKept) {
            release(kept_.back().name);
            kept_.pop_back();
        }
    }
    // Whether the last statement failed because a kept statement no longer fits its tables (another
    // workstation changed their definition) or the server no longer has it: prepared again, it runs.
    bool keptStatementWentStale() const { return lastState_ == "0A000" || lastState_ == "26000"; }
    void forgetKept() {
        for (auto& k : kept_)
            unused_.push_back(k.name);
        kept_.clear();
    }

    // Statements are let go a batch at a time, all in one pipeline, outside a transaction (a
    // failed transaction refuses everything but its rollback, and one in progress must not fail
    // for them).
    void release(const std::string& name) {
        unused_.push_back(name);
        letGo();
    }
    void letGo() {
        if (unused_.size() < kUnusedBatch || PQtransactionStatus(conn_) != PQTRANS_IDLE) return;
        if (!PQenterPipelineMode(conn_)) return;
        bool sent = true;
        for (auto& n : unused_)
            sent = sent && PQsendQueryParams(conn_, ("DEALLOCATE " + n).c_str(), 0, nullptr, nullptr, nullptr,
                                             nullptr, 0);
        sent = sent && PQpipelineSync(conn_);
        for (int guard = 0; sent && guard < 4 * int(unused_.size()) + 8; ++guard) {
            Result r(PQgetResult(conn_), &PQclear);
            if (!r) {
                if (PQstatus(conn_) == CONNECTION_BAD) break;
                continue;
            }
            if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) break;
        }
        PQexitPipelineMode(conn_);
        unused_.clear();
    }

    std::optional<std::string> unknownName(const std::string& sql) override {
        std::string text = serverPlaceholders(serverNames(sql));
        bool inside = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
        if (inside) command("SAVEPOINT dao_statement");
        Result r(PQprepare(conn_, "", text.c_str(), 0, nullptr), &PQclear);
        if (inside)
            command(ok(r.get()) ? "RELEASE SAVEPOINT dao_statement" : "ROLLBACK TO SAVEPOINT dao_statement");
        if (ok(r.get()) || field(r.get(), PG_DIAG_SQLSTATE) != "42703") return std::nullopt;
        // column "x" does not exist
        std::string message = field(r.get(), PG_DIAG_MESSAGE_PRIMARY);
        auto a = message.find('"'), b = message.rfind('"');
        if (a == std::string::npos || b <= a) return std::nullopt;
        return message.substr(a + 1, b - a - 1);
    }

    long long execute(const std::string& sql, const std::vector<StoredValue>& params) override {
        if (!controlsTransaction(sql)) reconnectIfLost();
        if (params.empty() && sql.find('?') == std::string::npos) {
            // Transaction levels are the caller's own; a fence around them would end them at once.
            if (controlsTransaction(sql)) {
                command(sql);
                return 0;
            }
            // One that may make, rename or drop names has the names read again.
            refuseNul(sql, "a statement");
            std::string text = serverNames(sql);
            auto r = fenced(
                [&] { return PQsendQueryParams(conn_, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0); },
                [&] { return runOne(conn_, text); }, "running a statement");
            if (definesNames(sql)) {
                names_.clear();
                rowKeys_.clear();
                forgetKept();
            }
            return std::atoll(PQcmdTuples(r.get()));
        }
        auto stmt = prepare(sql);
        for (size_t i = 0; i < params.size(); ++i)
            stmt->bind(int(i + 1), params[i]);
        while (stmt->step()) {
        }
        return changed_;
    }
    void noteChanged(long long n) { changed_ = n; }

    long long lastInsertKey() override {
        auto stmt = prepare("SELECT lastval()");
        if (!stmt->step()) return 0;
        return std::get<std::int64_t>(stmt->value(0));
    }
    void begin() override {
        reconnectIfLost();
        command("BEGIN");
    }
    void commit() override {
        // A transaction the server already failed cannot be committed: it is rolled back and said.
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
            command("ROLLBACK");
            raise(errc::Failed, "The transaction failed on the server and was rolled back.");
        }
        command("COMMIT");
    }
    void rollback() override {
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE) command("ROLLBACK");
    }
    bool inTransaction() override {
        auto status = PQtransactionStatus(conn_);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
    }
    bool readOnly() const override { return readOnly_; }

    std::vector<std::string> tableNames() override {
        std::vector<std::string> names;
        auto stmt = prepare("SELECT c.relname::text FROM pg_class c WHERE c.relkind IN ('r', 'p') AND "
                            "c.relnamespace = current_schema()::regnamespace ORDER BY 1");
        while (stmt->step())
            names.push_back(std::get<std::string>(stmt->value(0)));
        return names;
    }

    std::vector<ColumnDefinition> tableColumns(const std::string& table) override {
        std::vector<ColumnDefinition> columns;
        auto stmt =
            prepare("SELECT a.attname::text, format_type(a.atttypid, a.atttypmod), "
                    "COALESCE(a.attnum = ANY (i.indkey), false), a.attidentity <> '' OR "
                    "COALESCE(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false), a.attnotnull, "
                    "pg_get_expr(d.adbin, d.adrelid) "
                    "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                    "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                    "LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
                    "WHERE c.relname = $1 AND c.relnamespace = current_schema()::regnamespace "
                    "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
        stmt->bind(1, table);
        while (stmt->step()) {
            ColumnDefinition c;
            c.name = std::get<std::string>(stmt->value(0));
            c.declType = layerTypeName(std::get<std::string>(stmt->value(1)));
            c.primaryKey = std::get<std::int64_t>(stmt->value(2)) != 0;
            c.autoIncrement = std::get<std::int64_t>(stmt->value(3)) != 0;
            c.notNull = std::get<std::int64_t>(stmt->value(4)) != 0;
            auto fallback = stmt->value(5);
            if (auto* d = std::get_if<std::string>(&fallback); d && !c.autoIncrement) c.defaultValue = *d;
            columns.push_back(c);
        }
        return columns;
    }

    std::vector<IndexDefinition> tableIndexes(const std::string& table) override {
        std::vector<IndexDefinition> indexes;
        auto stmt = prepare(
            "SELECT i.relname::text, x.indisunique, array_to_string(ARRAY(SELECT a.attname::text FROM "
            "unnest(x.indkey) WITH ORDINALITY k(attnum, n) JOIN pg_attribute a ON a.attrelid = x.indrelid "
            "AND a.attnum = k.attnum ORDER BY k.n), E'\\n') "
            "FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class t ON t.oid = x.indrelid "
            "WHERE t.relname = $1 AND t.relnamespace = current_schema()::regnamespace AND NOT x.indisprimary "
            "AND x.indexprs IS NULL AND x.indpred IS NULL "
            "AND NOT EXISTS (SELECT 1 FROM pg_constraint c WHERE c.conindid = x.indexrelid)");
        stmt->bind(1, table);
        while (stmt->step()) {
            IndexDefinition index{std::get<std::string>(stmt->value(0)), {}, std::get<std::int64_t>(stmt->value(1)) != 0};
            std::string names = std::get<std::string>(stmt->value(2));
            for (size_t start = 0; start <= names.size();) {
                size_t end = std::min(names.find('\n', start), names.size());
                index.columns.push_back(names.substr(start, end - start));
                start = end + 1;
            }
            indexes.push_back(std::move(index));
        }
        return indexes;
    }

    void attach(const std::string&, const std::string&) override {
        raise(errc::NotSupported, "A server database cannot reach a database file.");
    }
    void detach(const std::string&) override {}

    std::string quoteText(const std::string& text) const override {
        refuseNul(text, "a text");
        // standard_conforming_strings is on: a quote is doubled and nothing else is special.
        std::string out = "'";
        for (char c : text) {
            out += c;
            if (c == '\'') out += '\'';
        }
        return out + "'";
    }
    // The server keeps 63 bytes of a name: a longer one would be made cut short and never found again.
    std::string quoteName(const std::string& name) const override {
        refuseNul(name, "a name");
        if (name.size() > 63)
            raise(errc::SyntaxError, "The name '" + name.substr(0, 40) +
                                         "...' is longer than the database server keeps (63 bytes).");
        std::string out = "\"";
        for (char c : name) {
            out += c;
            if (c == '"') out += '"';
        }
        return out + "\"";
    }

    // The table and column a result column is read from, asked of the catalogue once per column.
    const ColumnOrigin& origin(Oid table, int column) {
        auto key = std::make_pair(table, column);
        auto it = origins_.find(key);
        if (it != origins_.end()) return it->second;
        ColumnOrigin o;
        std::string t = std::to_string(table), c = std::to_string(column);
        const char* values[] = {t.c_str(), c.c_str()};
        Result r(
            PQexecParams(conn_,
                         "SELECT c.relname, a.attname, format_type(a.atttypid, a.atttypmod) FROM "
                         "pg_attribute a JOIN pg_class c ON c.oid = a.attrelid WHERE a.attrelid = $1::oid "
                         "AND a.attnum = $2::int2",
                         2, nullptr, values, nullptr, nullptr, 0),
            &PQclear);
        if (ok(r.get()) && PQntuples(r.get()) == 1) {
            o.table = PQgetvalue(r.get(), 0, 0);
            o.column = PQgetvalue(r.get(), 0, 1);
            o.declType = layerTypeName(PQgetvalue(r.get(), 0, 2));
        }
        return origins_.emplace(key, o).first->second;
    }

private:
    static bool isLower(const std::string& s) {
        return std::none_of(s.begin(), s.end(),
                            [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
    }
    static bool definesNames(const std::string& sql) {
        std::string head;
        for (char c : sql.substr(0, 16))
            head += char(std::toupper(static_cast<unsigned char>(c)));
        return head.find("CREATE") != std::string::npos || head.find("ALTER") != std::string::npos ||
               head.find("DROP") != std::string::npos;
    }
    void readNames() {
        Result r(
            runOne(conn_,
                   "SELECT c.relname FROM pg_class c WHERE c.relnamespace = current_schema()::regnamespace "
                   "AND c.relkind IN ('r', 'v', 'p') UNION SELECT a.attname FROM pg_attribute a JOIN "
                   "pg_class c ON c.oid = a.attrelid WHERE c.relnamespace = current_schema()::regnamespace "
                   "AND c.relkind IN ('r', 'v', 'p') AND a.attnum > 0"),
            &PQclear);
        names_.emplace("", ""); // read, even when there is nothing
        if (!ok(r.get())) return;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            std::string name = PQgetvalue(r.get(), i, 0), lower;
            for (char c : name)
                lower += char(std::tolower(static_cast<unsigned char>(c)));
            names_.emplace(lower, name);
        }
    }

    PGconn* conn_;
    bool readOnly_;
    int lockTimeoutMs_;
    std::map<std::string, std::string> names_;   // lower case -> as the catalogue spells it
    std::map<std::string, std::string> rowKeys_; // table -> its key column ("" for none)
    long long lastStatement_ = 0;
    long long changed_ = 0;
    std::vector<std::string> unused_;
    static constexpr size_t kUnusedBatch = 32;
    struct Kept {
        std::string text, name;
        Result described;
    };
    std::list<Kept> kept_; // most recently let go first
    static constexpr size_t kKept = 64;
    std::string lastState_; // the SQLSTATE of the last fenced statement
    std::vector<std::string> channels_; // listened to, again after a lost session is reopened
    std::map<std::pair<Oid, int>, ColumnOrigin> origins_;
};

PgStatement::~PgStatement() {
    if (name_.empty()) return; // let go already
    conn_.keep(std::move(text_), std::move(name_), std::move(described_));
}

Result PgStatement::run(const std::vector<const char*>& pointers, const std::vector<int>& lengths,
                        const std::vector<int>& formats) {
    return conn_.fenced(
        [&] {
            return PQsendQueryPrepared(conn_.raw(), name_.c_str(), int(values_.size()), pointers.data(),
                                       lengths.data(), formats.data(), 0);
        },
        [&] {
            return PQexecPrepared(conn_.raw(), name_.c_str(), int(values_.size()), pointers.data(), lengths.data(),
                                  formats.data(), 0);
        },
        "running a statement");
}

bool PgStatement::step() {
    if (!result_) {
        std::vector<std::string> texts(values_.size());
        std::vector<const char*> pointers(values_.size());
        std::vector<int> lengths(values_.size()), formats(values_.size());
        for (size_t i = 0; i < values_.size(); ++i) {
            auto& v = values_[i];
            if (auto* n = std::get_if<std::int64_t>(&v))
                texts[i] = std::to_string(*n);
            else if (auto* d = std::get_if<double>(&v)) {
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%.17g", *d);
                texts[i] = buffer;
            } else if (auto* s = std::get_if<std::string>(&v)) {
                refuseNul(*s, "a text");
                texts[i] = *s;
            }
            else if (auto* b = std::get_if<std::vector<std::uint8_t>>(&v)) {
                texts[i].assign(b->begin(), b->end());
                formats[i] = 1;
            }
            pointers[i] = std::holds_alternative<std::monostate>(v) ? nullptr : texts[i].c_str();
            lengths[i] = int(texts[i].size());
        }
        try {
            result_ = run(pointers, lengths, formats);
        } catch (const Error&) {
            // A kept statement that went stale failed without running (and, in a transaction,
            // undid only itself): prepared again from its text, it runs once more.
            if (!reused_ || !conn_.keptStatementWentStale()) throw;
            reused_ = false;
            conn_.release(std::exchange(name_, std::string()));
            auto [name, described] = conn_.prepareNamed(text_);
            name_ = name;
            described_ = std::move(described);
            result_ = run(pointers, lengths, formats);
        }
        conn_.noteChanged(std::atoll(PQcmdTuples(result_.get())));
        row_ = -1;
    }
    return ++row_ < PQntuples(result_.get());
}

ColumnOrigin PgStatement::column(int index) const {
    const PGresult* r = result_ ? result_.get() : described_.get();
    ColumnOrigin o;
    Oid table = PQftable(r, index);
    if (table != InvalidOid)
        o = conn_.origin(table, PQftablecol(r, index));
    else if (PQftype(r, index) == kTimestamp || PQftype(r, index) == kDate)
        o.declType = "timestamp"; // a computed date reads as a date, not as its text
    o.name = PQfname(r, index);
    return o;
}

StoredValue PgStatement::value(int index) const {
    const PGresult* r = result_.get();
    if (!r || row_ < 0 || row_ >= PQntuples(r) || PQgetisnull(r, row_, index)) return std::monostate{};
    const char* text = PQgetvalue(r, row_, index);
    switch (PQftype(r, index)) {
    case kBool:
        return std::int64_t(text[0] == 't' ? -1 : 0);
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return std::int64_t(std::strtoll(text, nullptr, 10));
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return std::strtod(text, nullptr);
    case kBytea: {
        size_t length = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        std::vector<std::uint8_t> out(bytes, bytes + length);
        PQfreemem(bytes);
        return out;
    }
    default:
        return std::string(text, size_t(PQgetlength(r, row_, index)));
    }
}

// The server's refusal of a role or password, as opposed to a server that cannot be reached.
bool refusedLogin(PGconn* conn) {
    std::string message = PQerrorMessage(conn);
    return PQconnectionNeedsPassword(conn) || message.find("authentication failed") != std::string::npos ||
           (message.find("role \"") != std::string::npos &&
            message.find("does not exist") != std::string::npos);
}

} // namespace

bool isServerName(const std::string& name) {
    return name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0;
}

bool carriesPassword(const std::string& uri) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return false;
    }
    bool found = false;
    for (auto* o = options; o->keyword; ++o)
        if (std::string(o->keyword) == "password" && o->val && *o->val) found = true;
    PQconninfoFree(options);
    return found;
}

std::unique_ptr<Connection> openPostgres(const std::string& uri, const std::string& user,
                                         const std::string& password, const OpenOptions& options) {
    std::vector<const char*> keys{"dbname", "connect_timeout", "application_name"};
    std::vector<const char*> values{uri.c_str(), "10", "dorvane"};
    if (!user.empty()) {
        keys.push_back("user");
        values.push_back(user.c_str());
    }
    if (!password.empty()) {
        keys.push_back("password");
        values.push_back(password.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* raw = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!raw) raise(errc::CannotOpen, "Out of memory reaching the database server.");
    if (PQstatus(raw) != CONNECTION_OK) {
        std::string message = connectionError(raw);
        bool login = refusedLogin(raw);
        bool noDatabase = message.find("database \"") != std::string::npos &&
                          message.find("does not exist") != std::string::npos;
        PQfinish(raw);
        // libpq's own text names the server's socket or host and protocol details; the clerk
        // only needs to know that the name or password was refused.
        if (login) raise(errc::BadAccount, "Not a valid account name or password for the database server.");
        if (noDatabase)
            raise(errc::FileNotFound, "The database does not exist on the server (" + message + ").");
        raise(errc::CannotOpen, "The database server could not be reached: " + message);
    }
    auto conn = std::make_unique<PgConnection>(raw, options);
    conn->startSession();
    return conn;
}

} // namespace dao
