#include "core/encoders/yav_certificate.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/system/yav_test_command.h"
#include "core/system/yav_test_tempdir.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// ---- a small DER writer for hand-built certificates -------------------------

Bytes tlv(unsigned char tag, const Bytes& content) {
    Bytes out{tag};
    size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<unsigned char>(n));
    } else {
        Bytes length;
        for (size_t v = n; v != 0; v >>= 8) length.insert(length.begin(), v & 0xFF);
        out.push_back(static_cast<unsigned char>(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bytes kCN{0x55, 0x04, 0x03};
const Bytes kO{0x55, 0x04, 0x0A};
const Bytes kC{0x55, 0x04, 0x06};
const Bytes kEmail{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01};
const Bytes kDomainComponent{0x09, 0x92, 0x26, 0x89, 0x93, 0xF2, 0x2C, 0x64, 0x01, 0x19};

Bytes attribute(const Bytes& oid, unsigned char tag, const Bytes& value) {
    return tlv(0x30, cat({tlv(0x06, oid), tlv(tag, value)}));
}
Bytes rdn(std::initializer_list<Bytes> attributes) { return tlv(0x31, cat(attributes)); }
Bytes name(std::initializer_list<Bytes> rdns) { return tlv(0x30, cat(rdns)); }
Bytes utf8(const Bytes& oid, const std::string& v) { return attribute(oid, 0x0C, str(v)); }

const Bytes kVersion3 = tlv(0xA0, tlv(0x02, {0x02}));

Bytes certificate(const Bytes& version, const Bytes& serial, const Bytes& issuer,
                  const Bytes& subject) {
    Bytes algorithm = tlv(0x30, cat({tlv(0x06, {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02})}));
    Bytes validity =
        tlv(0x30, cat({tlv(0x17, str("260101000000Z")), tlv(0x17, str("270101000000Z"))}));
    Bytes key = tlv(0x30, cat({algorithm, tlv(0x03, {0x00, 0x04})}));
    Bytes tbs =
        tlv(0x30, cat({version, tlv(0x02, serial), algorithm, issuer, validity, subject, key}));
    return tlv(0x30, cat({tbs, algorithm, tlv(0x03, {0x00, 0x01})}));
}

const Bytes kJoe = name({rdn({utf8(kC, "US")}), rdn({utf8(kO, "Org")}), rdn({utf8(kCN, "Joe")})});

// A memory interface that counts what is outstanding.
struct CountingMemory {
    std::map<void*, size_t> blocks;
    int reallocations = 0;

    static void* allocate(void* c, size_t size) {
        void* p = malloc(size);
        static_cast<CountingMemory*>(c)->blocks[p] = size;
        return p;
    }
    static void release(void* c, void* p) {
        auto* self = static_cast<CountingMemory*>(c);
        EXPECT_EQ(self->blocks.erase(p), 1u) << "free of a block not allocated here";
        free(p);
    }
    static void* reallocate(void* c, void* p, size_t oldSize, size_t newSize) {
        auto* self = static_cast<CountingMemory*>(c);
        EXPECT_EQ(self->blocks[p], oldSize);
        self->blocks.erase(p);
        ++self->reallocations;
        void* q = realloc(p, newSize);
        self->blocks[q] = newSize;
        return q;
    }
    yav_cert_memory interface() { return {this, allocate, release, reallocate}; }
};

struct Decoded {
    int ok;
    std::string serial, issuer, subject;
};

// Decodes an exact-size heap copy of der through a counting memory interface,
// checking that a failure leaves nothing allocated.
Decoded decode(const Bytes& der) {
    CountingMemory counter;
    yav_cert_memory memory = counter.interface();
    yav_cert_result result;
    Bytes copy(der);
    Decoded d{yav_decode_certificate(copy.data(), copy.size(), &memory, &result), "", "", ""};
    if (d.ok == 1) {
        EXPECT_EQ(counter.blocks.size(), 3u);
        d.serial = result.serial_number;
        d.issuer = result.issuer;
        d.subject = result.subject;
        yav_certificate_free(&memory, &result);
    } else {
        EXPECT_EQ(d.ok, 0);
        EXPECT_EQ(result.serial_number, nullptr);
        EXPECT_EQ(result.issuer, nullptr);
        EXPECT_EQ(result.subject, nullptr);
    }
    EXPECT_TRUE(counter.blocks.empty()) << "blocks left allocated";
    return d;
}

TEST(YavCertificateTest, DecodesHandBuiltCertificates) {
    const Bytes v1;
    std::string longSerial = "11";
    for (int i = 1; i < 200; ++i) longSerial += ".11";
    const std::string longSubject = "O=" + std::string(300, 'o');
    const struct {
        const char* what;
        Bytes der;
        std::string serial, issuer, subject;
    } cases[] = {
        {"v3", certificate(kVersion3, {0x01, 0xA2, 0x0F}, kJoe, kJoe), "01.A2.0F",
         "CN=Joe,O=Org,C=US", "CN=Joe,O=Org,C=US"},
        {"v1 leading zero", certificate(v1, {0x00, 0xFF}, kJoe, name({rdn({utf8(kCN, "x")})})),
         "00.FF", "CN=Joe,O=Org,C=US", "CN=x"},
        {"one byte serial, empty names", certificate(v1, {0x07}, name({}), name({})), "07", "", ""},
        {"multi-valued first name has no commas",
         certificate(kVersion3, {0x01}, name({rdn({utf8(kCN, "a"), utf8(kO, "b")})}),
                     name({rdn({utf8(kC, "c")}), rdn({utf8(kCN, "a"), utf8(kO, "b")})})),
         "01", "CN=aO=b", "CN=a,O=b,C=c"},
        {"email and printable string",
         certificate(kVersion3, {0x02},
                     name({rdn({attribute(kEmail, 0x16, str("j@x.org"))}),
                           rdn({attribute(kC, 0x13, str("US"))})}),
                     kJoe),
         "02", "C=US,E=j@x.org", "CN=Joe,O=Org,C=US"},
        {"BMPString big-endian",
         certificate(kVersion3, {0x03}, kJoe,
                     name({rdn({attribute(kCN, 0x1E, {0x00, 'J', 0x00, 0xE9, 0x20, 0xAC})})})),
         "03", "CN=Joe,O=Org,C=US", "CN=J\xC3\xA9\xE2\x82\xAC"},
        {"BMPString byte-swapped",
         certificate(kVersion3, {0x03}, kJoe,
                     name({rdn({attribute(kCN, 0x1E, {0xFF, 0xFE, 'J', 0x00, 0xE9, 0x00})})})),
         "03", "CN=Joe,O=Org,C=US", "CN=\xEF\xBB\xBFJ\xC3\xA9"},
        {"long-form lengths",
         certificate(kVersion3, Bytes(200, 0x11), kJoe,
                     name({rdn({utf8(kO, std::string(300, 'o'))})})),
         longSerial, "CN=Joe,O=Org,C=US", longSubject},
    };
    for (const auto& c : cases) {
        Decoded d = decode(c.der);
        ASSERT_EQ(d.ok, 1) << c.what;
        EXPECT_EQ(d.serial, c.serial) << c.what;
        EXPECT_EQ(d.issuer, c.issuer) << c.what;
        EXPECT_EQ(d.subject, c.subject) << c.what;
    }
}

TEST(YavCertificateTest, LongNamesGrowThroughTheReallocateHook) {
    Bytes der = certificate(
        kVersion3, {0x01}, kJoe,
        name({rdn({utf8(kCN, std::string(1000, 'n'))}), rdn({utf8(kO, std::string(600, 'm'))})}));
    CountingMemory counter;
    yav_cert_memory memory = counter.interface();
    yav_cert_result result;
    ASSERT_EQ(yav_decode_certificate(der.data(), der.size(), &memory, &result), 1);
    EXPECT_GT(counter.reallocations, 0);
    EXPECT_EQ(std::string(result.subject),
              "O=" + std::string(600, 'm') + ",CN=" + std::string(1000, 'n'));
    yav_certificate_free(&memory, &result);
    EXPECT_TRUE(counter.blocks.empty());

    // Without an interface the C heap is used; ASan/LSan would report a leak.
    ASSERT_EQ(yav_decode_certificate(der.data(), der.size(), nullptr, &result), 1);
    EXPECT_EQ(std::string(result.serial_number), "01");
    yav_certificate_free(nullptr, &result);
    EXPECT_EQ(result.subject, nullptr);
}

TEST(YavCertificateTest, RejectsMalformedAndUnsupportedCertificates) {
    const Bytes v1;
    Bytes good = certificate(kVersion3, {0x01}, kJoe, kJoe);
    Bytes indefinite = good;
    indefinite[1] = 0x80;
    Bytes hugeLength = good;
    hugeLength.insert(hugeLength.begin() + 1, {0x85, 0x00, 0x00});
    // The certificate claims a byte more than there is.
    Bytes lyingLength = good;
    ASSERT_EQ(lyingLength[1], 0x81);
    lyingLength[2] += 1;
    Bytes tooManyElements;
    {
        // Eleven elements in the TBSCertificate.
        Bytes parts;
        for (int i = 0; i < 11; ++i) parts = cat({parts, tlv(0x05, {})});
        tooManyElements = tlv(0x30, cat({tlv(0x30, parts), tlv(0x30, {}), tlv(0x03, {0})}));
    }
    const struct {
        const char* what;
        Bytes der;
    } cases[] = {
        {"empty", {}},
        // domainComponent is not among the attribute types a name may hold
        // (openssl itself reads it).
        {"domainComponent in issuer",
         certificate(kVersion3, {0x01}, name({rdn({utf8(kDomainComponent, "com")})}), kJoe)},
        {"UniversalString",
         certificate(kVersion3, {0x01}, kJoe, name({rdn({attribute(kCN, 0x1C, {0, 0, 0, 'x'})})}))},
        {"odd BMPString",
         certificate(kVersion3, {0x01}, kJoe, name({rdn({attribute(kCN, 0x1E, {0, 'x', 0})})}))},
        {"lone surrogate in BMPString",
         certificate(kVersion3, {0x01}, kJoe, name({rdn({attribute(kCN, 0x1E, {0xD8, 0x00})})}))},
        {"version v1 written out", certificate(tlv(0xA0, tlv(0x02, {0x00})), {0x01}, kJoe, kJoe)},
        {"version not an integer", certificate(tlv(0xA0, tlv(0x04, {0x02})), {0x01}, kJoe, kJoe)},
        {"empty serial", certificate(kVersion3, {}, kJoe, kJoe)},
        {"issuer is a SET", certificate(kVersion3, {0x01}, tlv(0x31, {}), kJoe)},
        {"RDN is a SEQUENCE", certificate(kVersion3, {0x01}, kJoe, tlv(0x30, tlv(0x30, {})))},
        {"attribute without value",
         certificate(kVersion3, {0x01}, kJoe, name({rdn({tlv(0x30, tlv(0x06, kCN))})}))},
        {"constructed value",
         certificate(kVersion3, {0x01}, kJoe, name({rdn({attribute(kCN, 0x30, {})})}))},
        {"indefinite length", indefinite},
        {"five-byte length", hugeLength},
        {"length beyond its parent", lyingLength},
        {"more than ten elements", tooManyElements},
        {"outer not a SEQUENCE", cat({Bytes{0x31}, Bytes(good.begin() + 1, good.end())})},
        {"multi-byte tag", {0x3F, 0x81, 0x01, 0x00}},
        {"element beyond its parent", tlv(0x30, {0x30, 0x05, 0x02, 0x01, 0x01})},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c.der).ok, 0) << c.what;
    EXPECT_EQ(decode(good).ok, 1);
}

TEST(YavCertificateTest, TruncatedFlippedAndRandomInputsFailCleanly) {
    Bytes good = certificate(kVersion3, {0x00, 0x9A}, kJoe,
                             name({rdn({attribute(kCN, 0x1E, {0x00, 'J'})})}));
    for (size_t n = 0; n < good.size(); ++n) {
        EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + n)).ok, 0) << "prefix " << n;
    }
    std::mt19937 random(42);
    for (int round = 0; round < 3000; ++round) {
        Bytes flipped = good;
        int flips = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < flips; ++i) flipped[random() % flipped.size()] ^= 1u << (random() % 8);
        decode(flipped);  // succeeds or fails; decode() checks the memory either way
        Bytes noise(random() % 64);
        for (unsigned char& b : noise) b = static_cast<unsigned char>(random());
        if (!noise.empty()) noise[0] = 0x30;
        EXPECT_EQ(decode(noise).ok, 0);
    }
}

// ---- differential tests against certificates made by openssl -----------------

class OpensslCertificateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl";
        ASSERT_TRUE(m_dir.ok()) << m_dir.error();
        ASSERT_EQ(shell("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 "
                        "-out key.pem"),
                  "");
    }

    // Output of command run in the temporary directory; failures are reported.
    std::string shell(const std::string& command) {
        return yav_test_command_output("cd '" + m_dir.path() + "' && " + command + " 2>/dev/null");
    }

    Bytes readFile(const std::string& file) {
        std::string text = shell("cat " + file);
        return Bytes(text.begin(), text.end());
    }

    // The three lines openssl prints, in our format: serial digits without the
    // dots and a sign byte; names with E for emailAddress.
    void compare(const std::string& file) {
        Decoded d = decode(readFile(file));
        ASSERT_EQ(d.ok, 1) << file;
        std::string serial;
        for (char c : d.serial) {
            if (c != '.') serial += c;
        }
        if (serial.size() > 2 && serial.compare(0, 2, "00") == 0) serial.erase(0, 2);
        std::string reference =
            shell("openssl x509 -inform DER -in " + file +
                  " -noout -serial -issuer -subject -nameopt RFC2253,-esc_msb,utf8");
        std::string ours =
            "serial=" + serial + "\nissuer=" + d.issuer + "\nsubject=" + d.subject + "\n";
        for (size_t at; (at = reference.find("emailAddress=")) != std::string::npos;) {
            reference.replace(at, 13, "E=");
        }
        EXPECT_EQ(ours, reference) << file;
    }

    YavTestTempDir m_dir{"yav_cert_"};
};

// Versions 3 and 1, serials with and without a sign byte, repeated and long
// attributes, and (with a string mask of BMPString only) UCS-2 values.
TEST_F(OpensslCertificateTest, DecodesAsOpensslPrintsThem) {
    const std::string x509 = "openssl req -x509 -utf8 -new -key key.pem -days 1 -outform DER ";
    const struct {
        std::string file, make, marker;
    } cases[] = {
        {"v3_0.der",
         x509 + "-set_serial 0x01 -subj '/C=US/ST=Texas/L=Austin/O=Org/OU=Unit/"
                "CN=Jo\xC3\xA9 \xE2\x82\xAC/emailAddress=joe@example.com'",
         "Version: 3"},
        {"v3_1.der", x509 + "-set_serial 0x8001A2 -subj '/CN=only'", "Version: 3"},
        {"v3_2.der",
         x509 + "-set_serial 0x7F00FF00FF00FF00FF -subj '/O=A/OU=c1/OU=c2/L=" +
             std::string(60, 'y') + "/CN=" + std::string(60, 'z') + "'",
         "Version: 3"},
        {"bmp.der",
         "printf '[req]\\ndistinguished_name=dn\\nstring_mask=MASK:0x800\\nprompt=no\\n[dn]\\n'"
         " > bmp.cnf && " +
             x509 + "-config bmp.cnf -set_serial 3 -subj '/O=B\xC3\xA9/CN=\xE2\x82\xACx'",
         "BMPSTRING"},
        {"v1.der",
         "openssl req -new -utf8 -key key.pem -subj '/C=DE/O=V One/CN=old' -out req.csr && "
         "openssl x509 -req -in req.csr -signkey key.pem -days 1 -set_serial 0xFF -outform DER",
         "Version: 1"},
    };
    for (const auto& c : cases) {
        shell(c.make + " -out " + c.file);
        std::string dump = shell("openssl x509 -inform DER -in " + c.file +
                                 " -noout -text; openssl asn1parse -inform DER -in " + c.file);
        ASSERT_NE(dump.find(c.marker), std::string::npos) << c.file;
        compare(c.file);
    }
}

}  // namespace
