#include <gtest/gtest.h>

#include <thread>

#include "engine/interface/error_info.h"
#include "engine/interface/factory.h"
#include "engine/interface/ref_counted.h"

namespace fw {
namespace {

class FakeStatus : public RefCounted<IDizozizUrlStatus> {
public:
    explicit FakeStatus(int* alive) : alive_(alive) { ++*alive_; }
    ~FakeStatus() override { --*alive_; }
    HRESULT get_State(int32_t* s) override { *s = kFetchReceive; return S_OK; }
    HRESULT get_BytesReceived(int32_t* b) override { *b = 0; return S_OK; }
    HRESULT get_BytesSent(int32_t* b) override { *b = 0; return S_OK; }

private:
    int* alive_;
};

TEST(ComTest, ObjectsLiveExactlyAsLongAsTheirReferences) {
    int alive = 0;
    {
        ComPtr<FakeStatus> object = MakeObject<FakeStatus>(&alive);
        EXPECT_EQ(alive, 1);
        ComPtr<IDizozizUrlStatus> out;
        ASSERT_EQ(HandOut(object, out.Receive()), S_OK);
        ComPtr<IDizozizUrlStatus> copy = out;
        object.Reset();
        EXPECT_EQ(alive, 1);
        int32_t state = 0;
        copy->get_State(&state);
        EXPECT_EQ(state, kFetchReceive);
    }
    EXPECT_EQ(alive, 0);
}

TEST(ComTest, QueryInterfaceKnowsItsInterfacesOnly) {
    int alive = 0;
    auto object = MakeObject<FakeStatus>(&alive);
    void* p = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IDizozizUrlStatus, &p), S_OK);
    EXPECT_EQ(p, static_cast<IDizozizUrlStatus*>(object.get()));
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, &p), S_OK);
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(object->QueryInterface(IID_IDizozizUrl, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IDizoziz, nullptr), E_POINTER);
}

TEST(ComTest, ErrorInfoIsPerThreadAndReadOnce) {
    EXPECT_EQ(ReportError("Storage is not open"), DISP_E_EXCEPTION);
    std::thread other([] {
        std::string d;
        EXPECT_FALSE(TakeErrorInfo(&d, nullptr));  // another thread's record is not ours
        ReportError("other");
    });
    other.join();
    std::string description, source;
    ASSERT_TRUE(TakeErrorInfo(&description, &source));
    EXPECT_EQ(description, "Storage is not open");
    EXPECT_EQ(source, "Fetchwell.Dizoziz.1");
    EXPECT_FALSE(TakeErrorInfo(&description, &source));
}

TEST(ComTest, ResultCodesHaveTheirStandardValues) {
    EXPECT_EQ(static_cast<uint32_t>(DISP_E_EXCEPTION), 0x80020009u);
    EXPECT_EQ(static_cast<uint32_t>(E_POINTER), 0x80004003u);
    EXPECT_EQ(static_cast<uint32_t>(E_INVALIDARG), 0x80070057u);
    EXPECT_EQ(static_cast<uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_TRUE(Failed(E_FAIL));
    EXPECT_TRUE(Succeeded(S_FALSE));
}

TEST(ComTest, FactoryRefusesUnknownNames) {
    IDizoziz* engine = nullptr;
    EXPECT_EQ(CreateDizoziz("Other.Thing", &engine), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(CreateDizoziz(kProgId, nullptr), E_POINTER);
}

}  // namespace
}  // namespace fw
