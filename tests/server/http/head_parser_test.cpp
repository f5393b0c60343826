#include "server/http/chunk_decoder.h"
#include "server/http/head_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Velto::Corvane {
namespace {

TEST(HeadParserTest, StatusTable) {
    struct Case {
        const char* name;
        std::string input;
        HeadParseStatus status;
    };
    const std::vector<Case> cases = {
        {"complete", "GET / HTTP/1.1\r\nHost: a\r\n\r\n", HeadParseStatus::Complete},
        {"no final empty line", "GET / HTTP/1.1\r\nHost: a\r\n", HeadParseStatus::Incomplete},
        {"partial line", "GET / HT", HeadParseStatus::Incomplete},
        {"empty input", "", HeadParseStatus::Incomplete},
        {"only empty lines", "\r\n\n", HeadParseStatus::Incomplete},
        {"HTTP/1.0", "GET / HTTP/1.0\r\n\r\n", HeadParseStatus::Complete},
        {"no version", "GET /\r\n\r\n", HeadParseStatus::Error},
        {"version 2", "GET / HTTP/2.0\r\n\r\n", HeadParseStatus::Error},
        {"trailing space", "GET / HTTP/1.1 \r\n\r\n", HeadParseStatus::Error},
        {"empty method", " / HTTP/1.1\r\n\r\n", HeadParseStatus::Error},
        {"method with slash", "G/T / HTTP/1.1\r\n\r\n", HeadParseStatus::Error},
        {"space in target", "GET /a b HTTP/1.1\r\n\r\n", HeadParseStatus::Error},
        {"non-ASCII target", "GET /\xC3\xA9 HTTP/1.1\r\n\r\n", HeadParseStatus::Error},
        {"empty header name", "GET / HTTP/1.1\r\n: v\r\n\r\n", HeadParseStatus::Error},
        {"header without colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", HeadParseStatus::Error},
        {"CR inside value", "GET / HTTP/1.1\r\nX: a\rb\r\n\r\n", HeadParseStatus::Error},
        {"NUL inside value", std::string("GET / HTTP/1.1\r\nX: a\0b\r\n\r\n", 27),
         HeadParseStatus::Error},
        {"CR CR LF", "GET / HTTP/1.1\r\r\n\r\n", HeadParseStatus::Error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseRequestHead(c.input).status, c.status);
    }
}

TEST(HeadParserTest, FieldsAndConsumedBytes) {
    const std::string head =
        "\r\nput /a?b HTTP/1.0\nX-Name:\t v a l \t\r\nX-Name: 2\nEmpty:\r\n\r\n";
    const HeadParseResult result = ParseRequestHead(head + "NEXT");
    ASSERT_EQ(result.status, HeadParseStatus::Complete);
    EXPECT_EQ(result.used, head.size());
    EXPECT_EQ(result.head.method, "put");
    EXPECT_EQ(result.head.target, "/a?b");
    EXPECT_EQ(result.head.version, 0);
    ASSERT_EQ(result.head.headers.size(), 3u);
    EXPECT_EQ(result.head.headers[0].name, "x-name");
    EXPECT_EQ(result.head.headers[0].value, "v a l");
    EXPECT_EQ(result.head.headers[1].value, "2");
    EXPECT_EQ(result.head.headers[2].name, "empty");
    EXPECT_EQ(result.head.headers[2].value, "");
}

TEST(HeadParserTest, ByteByByteFeedingGivesTheSameAnswer) {
    const std::vector<std::string> inputs = {
        "\r\nGET /a HTTP/1.1\r\nHost: x\r\nX-Y: z\r\n\r\nrest",
        "GET /a HTTP/1.1\nBad Name: v\n\n",
        "GET http://a/ HTTP/1.1\r\n",
        "GET /a HTTP/1.1\r\nX: " + std::string(200, 'v'),
    };
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input.substr(0, 30));
        const HeadParseResult whole = ParseRequestHead(input, 128);
        RequestHeadParser parser;
        HeadParseStatus status = HeadParseStatus::Incomplete;
        for (std::size_t end = 1; end <= input.size() && status == HeadParseStatus::Incomplete;
             ++end)
            status = parser.Parse(std::string_view(input).substr(0, end), 128);
        EXPECT_EQ(status, whole.status);
        if (status == HeadParseStatus::Complete) {
            EXPECT_EQ(parser.Used(), whole.used);
            EXPECT_EQ(parser.Head().headers.size(), whole.head.headers.size());
        }
    }
    // A bad request line is refused as soon as its line ends.
    RequestHeadParser early;
    EXPECT_EQ(early.Parse("GET * HTTP/1.1\r\n"), HeadParseStatus::Error);
}

TEST(HeadParserTest, LimitCountsTheFinalLineEnd) {
    const std::string start = "GET / HTTP/1.1\r\nX: ";
    const std::string exact = start + std::string(100 - start.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(exact.size(), 100u);
    EXPECT_EQ(ParseRequestHead(exact, 100).status, HeadParseStatus::Complete);
    EXPECT_EQ(ParseRequestHead("x" + exact.substr(0, 17) + exact.substr(17), 100).status,
              HeadParseStatus::Error);
    // Without a line end: incomplete below the limit, an error at it.
    EXPECT_EQ(ParseRequestHead(std::string(99, 'a'), 100).status, HeadParseStatus::Incomplete);
    EXPECT_EQ(ParseRequestHead(std::string(100, 'a'), 100).status, HeadParseStatus::Error);
}

std::optional<HeadAnalysis> Analyse(const std::string& headers, int version = 1) {
    const std::string text =
        std::string("POST / HTTP/1.") + (version == 1 ? "1" : "0") + "\r\n" + headers + "\r\n";
    const HeadParseResult parsed = ParseRequestHead(text);
    EXPECT_EQ(parsed.status, HeadParseStatus::Complete);
    return AnalyseHead(parsed.head);
}

TEST(HeadAnalysisTest, FramingTable) {
    struct Case {
        const char* name;
        std::string headers;
        int version;
        bool ok;
        BodyKind kind;
        std::uint64_t length;
    };
    const std::vector<Case> cases = {
        {"no body", "", 1, true, BodyKind::None, 0},
        {"length", "Content-Length: 42\r\n", 1, true, BodyKind::Length, 42},
        {"repeated length", "Content-Length: 7, 7\r\nContent-Length: 7\r\n", 1, true,
         BodyKind::Length, 7},
        {"19 digits", "Content-Length: 9999999999999999999\r\n", 1, true, BodyKind::Length,
         9999999999999999999ull},
        {"empty elements skipped", "Content-Length: ,5,\r\n", 1, true, BodyKind::Length, 5},
        {"20 digits", "Content-Length: 00000000000000000001\r\n", 1, false, BodyKind::None, 0},
        {"conflict in one header", "Content-Length: 5, 6\r\n", 1, false, BodyKind::None, 0},
        {"conflict across headers", "Content-Length: 5\r\nContent-Length: 6\r\n", 1, false,
         BodyKind::None, 0},
        {"empty length", "Content-Length:\r\n", 1, false, BodyKind::None, 0},
        {"negative length", "Content-Length: -1\r\n", 1, false, BodyKind::None, 0},
        {"chunked", "Transfer-Encoding: chunked\r\n", 1, true, BodyKind::Chunked, 0},
        {"chunked mixed case", "Transfer-Encoding: ChUnKeD\r\n", 1, true, BodyKind::Chunked, 0},
        {"chunked over two headers", "Transfer-Encoding: ,\r\nTransfer-Encoding: chunked\r\n", 1,
         true, BodyKind::Chunked, 0},
        {"chunked twice", "Transfer-Encoding: chunked, chunked\r\n", 1, false, BodyKind::None, 0},
        {"gzip then chunked", "Transfer-Encoding: gzip, chunked\r\n", 1, false, BodyKind::None, 0},
        {"identity", "Transfer-Encoding: identity\r\n", 1, false, BodyKind::None, 0},
        {"empty coding", "Transfer-Encoding:\r\n", 1, false, BodyKind::None, 0},
        {"both framings", "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n", 1, false,
         BodyKind::None, 0},
        {"chunked on 1.0", "Transfer-Encoding: chunked\r\n", 0, false, BodyKind::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<HeadAnalysis> analysis = Analyse(c.headers, c.version);
        ASSERT_EQ(analysis.has_value(), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(analysis->kind, c.kind);
        EXPECT_EQ(analysis->contentLength, c.length);
    }
}

TEST(HeadAnalysisTest, KeepAliveTable) {
    EXPECT_TRUE(Analyse("")->keepAlive);
    EXPECT_FALSE(Analyse("Connection: Keep-Alive, CLOSE\r\n")->keepAlive);
    EXPECT_FALSE(Analyse("", 0)->keepAlive);
    EXPECT_TRUE(Analyse("Connection: keep-alive\r\n", 0)->keepAlive);
}

struct DecodeRun {
    ChunkStatus status{ChunkStatus::NeedMore};
    std::string body;
    std::size_t consumed{0};
};

// Feeds `input` in pieces of `step` bytes, the way receives would.
DecodeRun DecodeInPieces(const std::string& input, std::size_t step) {
    ChunkDecoder decoder;
    DecodeRun run;
    for (std::size_t at = 0; at < input.size() && run.status == ChunkStatus::NeedMore;) {
        const std::string_view piece = std::string_view(input).substr(at, step);
        std::size_t consumed = 0;
        run.status = decoder.Decode(piece, consumed, run.body);
        run.consumed += consumed;
        at += consumed == 0 ? piece.size() : consumed;
    }
    return run;
}

TEST(ChunkDecoderTest, DecodesTheSameWhateverThePieceSize) {
    struct Case {
        const char* name;
        std::string input;
        ChunkStatus status;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"two chunks", "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n", ChunkStatus::Done, "abcde"},
        {"extension", "a;x=\"y\"\r\n0123456789\r\n0\r\n\r\n", ChunkStatus::Done, "0123456789"},
        {"bare LF and padding", " A \n0123456789\n0\nTrailer: x\n\n", ChunkStatus::Done,
         "0123456789"},
        {"16 digits", "0000000000000003\r\nabc\r\n0\r\n\r\n", ChunkStatus::Done, "abc"},
        {"17 digits", "00000000000000003\r\nabc\r\n0\r\n\r\n", ChunkStatus::Error, ""},
        {"empty size", "\r\n", ChunkStatus::Error, ""},
        {"only extension", ";x\r\n", ChunkStatus::Error, ""},
        {"sign", "+3\r\nabc\r\n0\r\n\r\n", ChunkStatus::Error, ""},
        {"data overrun", "3\r\nabcd\r\n0\r\n\r\n", ChunkStatus::Error, "abc"},
        {"unfinished", "3\r\nab", ChunkStatus::NeedMore, "ab"},
        {"4096-byte line", "1;" + std::string(4092, 'e') + "\r\nz\r\n0\r\n\r\n", ChunkStatus::Done,
         "z"},
        {"4097-byte line", "1;" + std::string(4093, 'e') + "\r\nz\r\n0\r\n\r\n", ChunkStatus::Error,
         ""},
        {"long trailer line", "0\r\nT: " + std::string(4093, 't') + "\r\n\r\n", ChunkStatus::Error,
         ""},
    };
    for (const Case& c : cases) {
        for (const std::size_t step : {std::size_t{1}, std::size_t{7}, c.input.size()}) {
            SCOPED_TRACE(std::string(c.name) + " step " + std::to_string(step));
            const DecodeRun run = DecodeInPieces(c.input, step);
            EXPECT_EQ(run.status, c.status);
            EXPECT_EQ(run.body, c.body);
        }
    }
}

TEST(ChunkDecoderTest, StopsAtTheEndOfTheBody) {
    const std::string body = "2\r\nok\r\n0\r\n\r\n";
    ChunkDecoder decoder;
    std::string out;
    std::size_t consumed = 0;
    EXPECT_EQ(decoder.Decode(body + "GET / HTTP/1.1\r\n", consumed, out), ChunkStatus::Done);
    EXPECT_EQ(consumed, body.size());
    EXPECT_EQ(out, "ok");
    EXPECT_EQ(decoder.Decode("more", consumed, out), ChunkStatus::Done);
    EXPECT_EQ(consumed, 0u);
}

} // namespace
} // namespace Velto::Corvane
