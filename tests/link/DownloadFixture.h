// A rig whose downloads go to a temporary file of their own, removed after the test; the
// logger holds 511 records, the capacity its version names.
#pragma once

#include "LinkRig.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace klinktest {

template <class TBase = ::testing::Test> class TDownloadFixture : public TBase {
protected:
    void SetUp() override {
        FileName = testfiles::NewTempFile("quorva-link");
        Rig.Version = "KV1.2 x";
        Rig.Host.SaveName = FileName;
    }
    void TearDown() override { std::remove(FileName.c_str()); }

    TRig Rig;
    std::string FileName;
};

} // namespace klinktest
