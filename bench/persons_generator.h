#pragma once
// Writes a made-up table of persons (dBase III, cp1250, 250-byte rows) for the benchmarks.
// Written byte by byte so the benchmarks never depend on the writer they measure.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbelan::bench {

struct BenchField {
    const char* name;
    char type;
    int size, decimals;
};

inline const std::vector<BenchField>& PersonsFields() {
    static const std::vector<BenchField> fields = {
        {"NUME", 'C', 30, 0},    {"PRENUME", 'C', 30, 0},    {"CNP", 'C', 13, 0},
        {"ADRESA", 'C', 40, 0},  {"LOCALITATE", 'C', 25, 0}, {"DATANASTER", 'D', 8, 0},
        {"SUMA", 'N', 12, 2},    {"ACTIV", 'L', 1, 0},       {"OCUPATIE", 'C', 40, 0},
        {"TELEFON", 'C', 15, 0}, {"EMAIL", 'C', 35, 0}};
    return fields;
}

inline void PutPadded(std::string& rec, const std::string& text, size_t size) {
    std::string v = text.substr(0, size);
    v.resize(size, ' ');
    rec += v;
}

inline std::string MakeCnp(std::mt19937& rng, int year, int month, int day, int serial) {
    const int sex = year >= 2000 ? (rng() % 2 ? 5 : 6) : (rng() % 2 ? 1 : 2);
    char body[16];
    std::snprintf(body, sizeof body, "%d%02d%02d%02d99%03d", sex, year % 100, month, day,
                  serial % 1000);
    static const char* weights = "279146358279";
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += (body[i] - '0') * (weights[i] - '0');
    int r = sum % 11;
    if (r == 10) r = 1;
    if (rng() % 20 == 0) r = (r + 1) % 10;  // one code in twenty is wrong
    return std::string(body) + char('0' + r);
}

// groups: a last column GRUP C(10) holding "G<n>" with n = row % groups (none when 0).
inline void WritePersonsTable(const std::string& path, long rows, uint32_t seed = 42,
                              long groups = 0) {
    static const char* names[] = {"POPESCU",
                                  "IONESCU",
                                  "POPA",
                                  "RADU",
                                  "STAN",
                                  "DUMITRU",
                                  "STOICA",
                                  "GHEORGHE",
                                  "MATEI",
                                  "CONSTANTIN",
                                  "IONELESCU",
                                  "MUNTEANU",
                                  "DINU",
                                  "\xAA"
                                  "TEF\xC3"
                                  "NESCU",
                                  "B\xC3"
                                  "LAN"};
    static const char* first[] = {"ION",   "IONEL", "VASILE", "ANDREI", "MIHAI",
                                  "MARIA", "ELENA", "ANA",    "IOANA",  "CRISTINA"};
    static const char* towns[] = {"Deva", "Hunedoara", "Brad",
                                  "Or\xBA"
                                  "tie",
                                  "Petro\xBA"
                                  "ani"};
    std::vector<BenchField> fields = PersonsFields();
    if (groups > 0) fields.push_back({"GRUP", 'C', 10, 0});
    int recordLength = 1;
    for (const auto& f : fields) recordLength += f.size;
    const int headerLength = 32 + 32 * int(fields.size()) + 1;

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + path);
    unsigned char head[32] = {0x03, 126, 12, 7};
    const uint32_t count = uint32_t(rows);
    std::memcpy(head + 4, &count, 4);
    head[8] = uint8_t(headerLength & 0xFF);
    head[9] = uint8_t(headerLength >> 8);
    head[10] = uint8_t(recordLength & 0xFF);
    head[11] = uint8_t(recordLength >> 8);
    head[29] = 0xC8;
    std::fwrite(head, 1, 32, out);
    for (const auto& f : fields) {
        unsigned char d[32] = {0};
        std::memcpy(d, f.name, std::strlen(f.name));
        d[11] = uint8_t(f.type);
        d[16] = uint8_t(f.size);
        d[17] = uint8_t(f.decimals);
        std::fwrite(d, 1, 32, out);
    }
    std::fputc(0x0D, out);

    std::mt19937 rng(seed);
    std::string rec;
    std::string block;
    for (long i = 0; i < rows; ++i) {
        const int year = 1930 + int(rng() % 90), month = 1 + int(rng() % 12),
                  day = 1 + int(rng() % 28);
        rec.assign(1, ' ');
        PutPadded(rec, names[rng() % 15], 30);
        PutPadded(rec, first[rng() % 10], 30);
        PutPadded(rec, MakeCnp(rng, year, month, day, int(i)), 13);
        PutPadded(rec, "Str. Libertatii nr. " + std::to_string(1 + rng() % 200), 40);
        PutPadded(rec, towns[rng() % 5], 25);
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
        rec += date;
        char sum[16];
        std::snprintf(sum, sizeof sum, "%12.2f", double(rng() % 1000000) / 100.0);
        rec += sum;
        rec += rng() % 3 ? 'T' : 'F';
        PutPadded(rec, "functionar", 40);
        PutPadded(rec, "07" + std::to_string(20000000 + rng() % 9999999), 15);
        PutPadded(rec, "persoana" + std::to_string(i) + "@exemplu.ro", 35);
        if (groups > 0) PutPadded(rec, "G" + std::to_string(i % groups), 10);
        block += rec;
        if (block.size() > (1u << 20)) {
            std::fwrite(block.data(), 1, block.size(), out);
            block.clear();
        }
    }
    block += '\x1A';
    std::fwrite(block.data(), 1, block.size(), out);
    if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace orbelan::bench
