// make_persons FILE ROWS: writes the benchmark table of persons.
#include <cstdio>
#include <cstdlib>

#include "bench/persons_generator.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Folosire: make_persons FISIER LINII\n");
        return 2;
    }
    orbelan::bench::WritePersonsTable(argv[1], std::atol(argv[2]));
    return 0;
}
