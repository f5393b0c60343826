// Times VerifyPassword at the stored iteration count and prints the mean
// milliseconds per verification; run.sh sets the figure beside the peers.
#include "config/password_hash.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    using Velto::Corvane::HashPassword;
    using Velto::Corvane::kPasswordIterations;
    using Velto::Corvane::VerifyPassword;

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (rounds < 1)
        return 2;
    const std::string hash = HashPassword("correct horse battery staple", kPasswordIterations);
    if (hash.empty())
        return 1;
    const auto start = std::chrono::steady_clock::now();
    int verified = 0;
    for (int i = 0; i < rounds; ++i)
        verified += VerifyPassword(hash, "correct horse battery staple") ? 1 : 0;
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (verified != rounds)
        return 1;
    std::printf("%.1f\n", elapsed.count() / rounds);
    return 0;
}
