// Property: what the writer writes, read back over the same declarations, gives a tree that the
// writer writes identically; random trees, both block thresholds.
#include "ConfigTestSupport.h"
#include "platform/system/NumberText.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Node {
    std::string name;
    ValType type = vtInteger;
    int size = 1; // -1: list
    std::vector<Node> children;
};

const char* const kIDs[] = {"1", "2", "3", "5", "8", "07", "x", "ab"};

class TreeMaker {
public:
    explicit TreeMaker(unsigned seed) : rng_(seed) {}

    std::vector<Node> Members(int depth)
    {
        std::vector<Node> nodes;
        const int n = Pick(1, 4);
        for (int i = 0; i < n; ++i) {
            Node node;
            node.name = "n" + std::to_string(counter_++);
            const int kind = Pick(0, depth < 2 ? 5 : 4);
            node.type = kind == 5 ? vtContext : static_cast<ValType>(1 + kind % 4);
            const int shape = Pick(0, 3);
            node.size = shape == 0 ? -1 : shape == 1 ? 1 : Pick(2, 40);
            if (node.type == vtContext) {
                node.size = shape == 0 ? -1 : shape == 1 ? 1 : Pick(2, 3);
                node.children = Members(depth + 1);
            }
            nodes.push_back(std::move(node));
        }
        return nodes;
    }

    static void Declare(const std::vector<Node>& nodes, std::string& out)
    {
        for (const auto& n : nodes) {
            out += std::string(TypeKeywords[n.type]) + " " + n.name;
            if (n.size == -1)
                out += "[]";
            else if (n.size > 1)
                out += "[" + std::to_string(n.size) + "]";
            out += "\n";
            if (n.type == vtContext) {
                Declare(n.children, out);
                out += "endcontext\n";
            }
        }
    }

    // Sets random values through random paths of the declared structure.
    void Fill(TDVContext& root, const std::vector<Node>& nodes, const std::string& prefix, int rounds)
    {
        for (int r = 0; r < rounds; ++r) {
            const Node& n = nodes[static_cast<std::size_t>(Pick(0, static_cast<int>(nodes.size()) - 1))];
            const std::string path = prefix + n.name + Index(n);
            if (n.type == vtContext) {
                Fill(root, n.children, path + ".", 2);
                continue;
            }
            switch (n.type) {
            case vtInteger: root.SetInteger(path, Pick(-1000, 1000000)); break;
            case vtFloat: root.SetFloat(path, static_cast<float>(Pick(-999999, 999999)) / 1000.0f); break;
            case vtBool: root.SetBool(path, Pick(0, 1) == 1); break;
            default: root.SetString(path, Text()); break;
            }
        }
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::string Index(const Node& n)
    {
        if (n.size == -1)
            return "[" + std::string(kIDs[Pick(0, 7)]) + "]";
        if (n.size > 1)
            return "[" + std::to_string(Pick(1, n.size)) + "]";
        return {};
    }

    std::string Text()
    {
        static const std::string alphabet = "abcXYZ 09;,.=[]{}()&\\'\"-*#";
        std::string s;
        const int len = Pick(0, 8);
        for (int i = 0; i < len; ++i)
            s += alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(alphabet.size()) - 1))];
        return s;
    }

    std::mt19937 rng_;
    int counter_ = 0;
};

std::string WriteAll(TDVContext& root)
{
    return Written(root);
}

} // namespace

class RoundTrip : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override { TDVContext::SetBlockThreshold(3); }
};

TEST_P(RoundTrip, RandomTreesReadBackEqual)
{
    TDVContext::SetBlockThreshold(GetParam());
    for (unsigned seed = 1; seed <= 150; ++seed) {
        TreeMaker maker(seed);
        const auto nodes = maker.Members(0);
        std::string declarations;
        TreeMaker::Declare(nodes, declarations);

        TDVContext original;
        Load(original, declarations);
        maker.Fill(original, nodes, "", 12);
        const std::string written = WriteAll(original);

        TDVContext back;
        Load(back, declarations);
        ASSERT_EQ(ErrorOf([&] { Load(back, written); }), "<no error>") << declarations << "----\n" << written;
        ASSERT_EQ(WriteAll(back), written) << "seed " << seed << "\n" << declarations;
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, RoundTrip, ::testing::Values(1, 3));

TEST(RoundTripValues, FloatsKeepSevenSignificantDigits)
{
    TDVContext a;
    Load(a, "float f[4]");
    const float values[] = {3.14159265f, 1234567.8f, 0.000012345678f, -98765.4321f};
    for (int i = 0; i < 4; ++i)
        a.SetFloatAt("f[#]", values[i], i + 1);
    TDVContext b;
    Load(b, "float f[4]");
    Load(b, Written(a));
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(b.GetFloatAt("f[#]", i + 1), values[i], std::abs(values[i]) * 1e-6) << i;
}
