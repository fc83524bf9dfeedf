#include "results/Database.h"

#include <algorithm>

namespace oculant::results {

bool Database::insertRows(const std::string& table, const std::vector<std::string>& columns,
                          std::vector<Value>&& values)
{
    return insertStatements(table, columns, std::move(values), "");
}

bool Database::upsertRows(const std::string& table, const std::vector<std::string>& columns, std::vector<Value>&& values,
                          const std::string& onConflict)
{
    return insertStatements(table, columns, std::move(values), " " + onConflict);
}

bool Database::insertStatements(const std::string& table, const std::vector<std::string>& columns,
                                std::vector<Value>&& values, const std::string& tail)
{
    const size_t width = columns.size();
    const size_t perStatement = std::max<size_t>(1, std::min(kMaxRowsPerInsert, maxParameters() / width));
    std::string head = "INSERT INTO " + table + " (";
    for (size_t c = 0; c < width; ++c)
        head += (c ? ", " : "") + columns[c];
    head += ") VALUES ";
    std::string tuple = "(";
    for (size_t c = 0; c < width; ++c)
        tuple += c ? ", ?" : "?";
    tuple += ")";
    const size_t rows = values.size() / width;
    for (size_t first = 0; first < rows; first += perStatement) {
        const size_t n = std::min(perStatement, rows - first);
        std::string sql = head;
        sql.reserve(head.size() + n * (tuple.size() + 2));
        for (size_t i = 0; i < n; ++i)
            sql += (i ? ", " : "") + tuple;
        sql += tail;
        const std::vector<Value> params(std::make_move_iterator(values.begin() + std::ptrdiff_t(first * width)),
                                        std::make_move_iterator(values.begin() + std::ptrdiff_t((first + n) * width)));
        if (!exec(sql, params))
            return false;
    }
    return true;
}

}  // namespace oculant::results
