// lepotex-cli glue --changes and -v: the table of decisions and the counts told of them.
#include <map>
#include <sstream>

#include "CliFixture.h"

namespace lepotex::clitest {
namespace {

using ChangesCli = CliTest;

std::vector<std::vector<std::string>> Rows(const std::string& table)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string>& fields = rows.emplace_back();
        std::istringstream cells(line);
        for (std::string field; std::getline(cells, field, '\t');)
            fields.push_back(field);
        if (line.ends_with('\t'))
            fields.emplace_back();
    }
    return rows;
}

TEST_F(ChangesCli, TheTableHasARowPerDecisionAndVerboseCountsThem)
{
    const std::string samples = LEPOTEX_SAMPLES;
    CliRun run = Cli("glue --defaults -v --changes changes.tsv '" + samples + "/mlyn.txt' -o mlyn.out");
    ASSERT_EQ(run.status, 0) << run.err;
    // The record changes nothing of the result.
    EXPECT_EQ(File("mlyn.out"), ReadFile(samples + "/mlyn.glued.txt"));
    const auto rows = Rows(File("changes.tsv"));
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"kind", "paragraph", "column", "old", "new", "reason", "doubtful"}));
    std::map<std::string, int> counts;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u) << i;
        ++counts[rows[i][0]];
        EXPECT_EQ(rows[i][6], rows[i][0] == "rule" ? "?" : "") << i;
    }
    EXPECT_EQ(counts, (std::map<std::string, int>{{"page-line", 2}, {"hyphen-removed", 1}, {"line-glued", 7},
                                                   {"paragraph-kept", 9}, {"rule", 2}}));
    EXPECT_NE(File("changes.tsv").find("hyphen-removed\t6\t98\tvo-\\ndy,\tvody,\t\t\n"), std::string::npos);
    EXPECT_NE(File("changes.tsv").find("rule\t14\t59\tsena\tse na\t\t?\n"), std::string::npos);
    EXPECT_NE(run.err.find("mlyn.txt: Odstraněné řádky stránek: 2\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("mlyn.txt: Ponechané odstavce: 9 (řádkové testy 5, prázdný řádek 4)\n"), std::string::npos);

    // Backslashes, and a tab the file format turned into a space, are written escaped.
    Write("path.txt", "cesta C:\\temp\\\r\ndal\t\r\nkonec.\r\n");
    run = Cli("glue --defaults --changes - path.txt -o path.out");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("line-glued\t1\t10\tC:\\\\temp\\\\\\ndal\tC:\\\\temp\\\\ dal\t\t\n"), std::string::npos)
        << run.out;

    // Smart: the layout found, and the reasons.
    run = Cli("glue --defaults --smart -v '" + samples + "/mlyn.txt' -o smart.out");
    EXPECT_NE(run.err.find("mlyn.txt: Rozvržení: "), std::string::npos) << run.err;

    for (const auto& [args, line] : {std::pair{"c.tsv --in-place path.txt", "--changes patří k jednomu vstupnímu souboru"},
                                     {"- path.txt", "--changes - potřebuje výsledek v souboru (-o)"}})
        ExpectFailure(std::string("glue --changes ") + args, 1,
                      std::string("lepotex-cli glue: ") + line + "\nZkuste „lepotex-cli glue --help“.\n");
    ExpectFailure("glue --changes nosuchdir/c.tsv path.txt -o p2.out", 2,
                  "nosuchdir/c.tsv: složka „nosuchdir“ neexistuje\n");
}

}  // namespace
}  // namespace lepotex::clitest
