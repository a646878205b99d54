// The graph-control interface declarations: vtable slot of every method, the
// identifiers' values and the layout of the structures passed across modules.
// Components built separately call one another through these, so a method out
// of place or a mistyped GUID breaks them silently.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include <initguid.h>
#include <objbase.h>
#include <oaidl.h>
#include <strmif.h>
#include <control.h>
#include <qnetwork.h>
#include <vmr9.h>
#include <uuids.h>
#include <evcode.h>

namespace {

// Vtable slot of a virtual member function, read from its pointer-to-member
// representation (Itanium C++ ABI; ARM keeps the virtual bit in the adjustment).
template <class I, class R, class... A>
long Slot(R (I::*method)(A...))
{
    struct {
        uintptr_t ptr;
        ptrdiff_t adj;
    } rep;
    static_assert(sizeof(method) == sizeof(rep), "unexpected pointer-to-member size");
    std::memcpy(&rep, &method, sizeof(rep));
#if defined(__arm__) || defined(__aarch64__)
    if (!(rep.adj & 1))
        return -1;
    return static_cast<long>(rep.ptr / sizeof(void *));
#else
    if (!(rep.ptr & 1))
        return -1;
    return static_cast<long>((rep.ptr - 1) / sizeof(void *));
#endif
}

// The methods, listed in their published order, occupy consecutive slots from first.
void ExpectSlotsFrom(long first, std::initializer_list<long> slots)
{
    long expected = first;
    int index = 0;
    for (long slot : slots) {
        EXPECT_EQ(expected, slot) << "method #" << index << " in declaration order";
        ++expected;
        ++index;
    }
}

std::string GuidText(REFGUID guid)
{
    OLECHAR buffer[39];
    if (StringFromGUID2(guid, buffer, 39) != 39)
        return "(StringFromGUID2 failed)";
    std::string text;
    for (int i = 0; i < 38; ++i)
        text += static_cast<char>(buffer[i]);
    return text;
}

TEST(DshowInterfaces, AutomationBaseFollowsIUnknown)
{
    ExpectSlotsFrom(0, {Slot(&IDispatch::QueryInterface), Slot(&IDispatch::AddRef), Slot(&IDispatch::Release),
                        Slot(&IDispatch::GetTypeInfoCount), Slot(&IDispatch::GetTypeInfo),
                        Slot(&IDispatch::GetIDsOfNames), Slot(&IDispatch::Invoke)});
}

TEST(DshowInterfaces, GraphControlSlots)
{
    using C = IMediaControl;
    ExpectSlotsFrom(7, {Slot(&C::Run), Slot(&C::Pause), Slot(&C::Stop), Slot(&C::GetState), Slot(&C::RenderFile),
                        Slot(&C::AddSourceFilter), Slot(&C::get_FilterCollection),
                        Slot(&C::get_RegFilterCollection), Slot(&C::StopWhenReady)});

    using E = IMediaEventEx;
    ExpectSlotsFrom(7, {Slot(&E::GetEventHandle), Slot(&E::GetEvent), Slot(&E::WaitForCompletion),
                        Slot(&E::CancelDefaultHandling), Slot(&E::RestoreDefaultHandling),
                        Slot(&E::FreeEventParams), Slot(&E::SetNotifyWindow), Slot(&E::SetNotifyFlags),
                        Slot(&E::GetNotifyFlags)});

    using P = IMediaPosition;
    ExpectSlotsFrom(7, {Slot(&P::get_Duration), Slot(&P::put_CurrentPosition), Slot(&P::get_CurrentPosition),
                        Slot(&P::get_StopTime), Slot(&P::put_StopTime), Slot(&P::get_PrerollTime),
                        Slot(&P::put_PrerollTime), Slot(&P::put_Rate), Slot(&P::get_Rate),
                        Slot(&P::CanSeekForward), Slot(&P::CanSeekBackward)});

    using A = IBasicAudio;
    ExpectSlotsFrom(7, {Slot(&A::put_Volume), Slot(&A::get_Volume), Slot(&A::put_Balance), Slot(&A::get_Balance)});

    using V = IBasicVideo;
    ExpectSlotsFrom(7, {Slot(&V::get_AvgTimePerFrame), Slot(&V::get_BitRate), Slot(&V::get_BitErrorRate),
                        Slot(&V::get_VideoWidth), Slot(&V::get_VideoHeight), Slot(&V::put_SourceLeft),
                        Slot(&V::get_SourceLeft), Slot(&V::put_SourceWidth), Slot(&V::get_SourceWidth),
                        Slot(&V::put_SourceTop), Slot(&V::get_SourceTop), Slot(&V::put_SourceHeight),
                        Slot(&V::get_SourceHeight), Slot(&V::put_DestinationLeft), Slot(&V::get_DestinationLeft),
                        Slot(&V::put_DestinationWidth), Slot(&V::get_DestinationWidth),
                        Slot(&V::put_DestinationTop), Slot(&V::get_DestinationTop),
                        Slot(&V::put_DestinationHeight), Slot(&V::get_DestinationHeight),
                        Slot(&V::SetSourcePosition), Slot(&V::GetSourcePosition),
                        Slot(&V::SetDefaultSourcePosition), Slot(&V::SetDestinationPosition),
                        Slot(&V::GetDestinationPosition), Slot(&V::SetDefaultDestinationPosition),
                        Slot(&V::GetVideoSize), Slot(&V::GetVideoPaletteEntries), Slot(&V::GetCurrentImage),
                        Slot(&V::IsUsingDefaultSource), Slot(&V::IsUsingDefaultDestination)});
    EXPECT_EQ(38, Slot(&V::IsUsingDefaultDestination));
}

TEST(DshowInterfaces, GraphBuildingAndSeekingSlots)
{
    using G = IGraphBuilder;
    ExpectSlotsFrom(3, {Slot(&G::AddFilter), Slot(&G::RemoveFilter), Slot(&G::EnumFilters),
                        Slot(&G::FindFilterByName), Slot(&G::ConnectDirect), Slot(&G::Reconnect),
                        Slot(&G::Disconnect), Slot(&G::SetDefaultSyncSource), Slot(&G::Connect), Slot(&G::Render),
                        Slot(&G::RenderFile), Slot(&G::AddSourceFilter), Slot(&G::SetLogFile), Slot(&G::Abort),
                        Slot(&G::ShouldOperationContinue)});
    EXPECT_EQ(13, Slot(&G::RenderFile));

    using S = IMediaSeeking;
    ExpectSlotsFrom(3, {Slot(&S::GetCapabilities), Slot(&S::CheckCapabilities), Slot(&S::IsFormatSupported),
                        Slot(&S::QueryPreferredFormat), Slot(&S::GetTimeFormat), Slot(&S::IsUsingTimeFormat),
                        Slot(&S::SetTimeFormat), Slot(&S::GetDuration), Slot(&S::GetStopPosition),
                        Slot(&S::GetCurrentPosition), Slot(&S::ConvertTimeFormat), Slot(&S::SetPositions),
                        Slot(&S::GetPositions), Slot(&S::GetAvailable), Slot(&S::SetRate), Slot(&S::GetRate),
                        Slot(&S::GetPreroll)});

    using N = IAMNetworkStatus;
    ExpectSlotsFrom(7, {Slot(&N::get_ReceivedPackets), Slot(&N::get_RecoveredPackets), Slot(&N::get_LostPackets),
                        Slot(&N::get_ReceptionQuality), Slot(&N::get_BufferingCount), Slot(&N::get_IsBroadcast),
                        Slot(&N::get_BufferingProgress)});
}

TEST(DshowInterfaces, VideoMixingRendererSlots)
{
    using W = IVMRWindowlessControl9;
    ExpectSlotsFrom(3, {Slot(&W::GetNativeVideoSize), Slot(&W::GetMinIdealVideoSize),
                        Slot(&W::GetMaxIdealVideoSize), Slot(&W::SetVideoPosition), Slot(&W::GetVideoPosition),
                        Slot(&W::GetAspectRatioMode), Slot(&W::SetAspectRatioMode),
                        Slot(&W::SetVideoClippingWindow), Slot(&W::RepaintVideo), Slot(&W::DisplayModeChanged),
                        Slot(&W::GetCurrentImage), Slot(&W::SetBorderColor), Slot(&W::GetBorderColor)});
    EXPECT_EQ(11, Slot(&W::RepaintVideo));

    using B = IVMRMixerBitmap9;
    ExpectSlotsFrom(3, {Slot(&B::SetAlphaBitmap), Slot(&B::UpdateAlphaBitmapParameters),
                        Slot(&B::GetAlphaBitmapParameters)});

    using F = IVMRFilterConfig9;
    ExpectSlotsFrom(3, {Slot(&F::SetImageCompositor), Slot(&F::SetNumberOfStreams), Slot(&F::GetNumberOfStreams),
                        Slot(&F::SetRenderingPrefs), Slot(&F::GetRenderingPrefs), Slot(&F::SetRenderingMode),
                        Slot(&F::GetRenderingMode)});
}

TEST(DshowInterfaces, IdentifierValues)
{
    const struct {
        const GUID &guid;
        const char *text;
    } cases[] = {
        {IID_IDispatch, "{00020400-0000-0000-C000-000000000046}"},
        {IID_IMediaControl, "{56A868B1-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IMediaPosition, "{56A868B2-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IBasicAudio, "{56A868B3-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IBasicVideo, "{56A868B5-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IMediaEvent, "{56A868B6-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IMediaEventEx, "{56A868C0-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IGraphBuilder, "{56A868A9-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IFilterGraph, "{56A8689F-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IEnumFilters, "{56A86893-0AD4-11CE-B03A-0020AF0BA770}"},
        {IID_IMediaSeeking, "{36B73880-C2C8-11CF-8B46-00805F6CEF60}"},
        {IID_IAMNetworkStatus, "{FA2AA8F3-8B62-11D0-A520-000000000000}"},
        {IID_IVMRWindowlessControl9, "{8F537D09-F85E-4414-B23B-502E54C79927}"},
        {IID_IVMRMixerBitmap9, "{CED175E5-1935-4820-81BD-FF6AD00C9108}"},
        {IID_IVMRFilterConfig9, "{5A804648-4F66-4867-9C43-4F5C822CF1B8}"},
        {CLSID_VideoMixingRenderer9, "{51B4ABF3-748F-4E3B-A276-C828330E926A}"},
        {TIME_FORMAT_MEDIA_TIME, "{7B785574-8C82-11CF-BC0C-00AA00AC74F6}"},
        {TIME_FORMAT_FRAME, "{7B785570-8C82-11CF-BC0C-00AA00AC74F6}"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, GuidText(c.guid));
}

TEST(DshowInterfaces, ConstantsAndLayouts)
{
    EXPECT_EQ(0, AM_SEEKING_NoPositioning);
    EXPECT_EQ(1, AM_SEEKING_AbsolutePositioning);
    EXPECT_EQ(3, AM_SEEKING_PositioningBitsMask);
    EXPECT_EQ(0x100, AM_SEEKING_Source);
    EXPECT_EQ(2, VMR9Mode_Windowless);
    EXPECT_EQ(2, VMR9AlphaBitmap_hDC);
    EXPECT_EQ(0x10, VMR9AlphaBitmap_SrcRect);
    EXPECT_EQ(1, EC_COMPLETE);
    EXPECT_EQ(3, EC_ERRORABORT);
    EXPECT_EQ(0x43, EC_LOADSTATUS);

    // Automation longs stay 32 bits; handles and event parameters are pointer sized.
    EXPECT_EQ(4u, sizeof(OAFilterState));
    EXPECT_EQ(sizeof(void *), sizeof(OAEVENT));
    EXPECT_EQ(sizeof(void *), sizeof(OAHWND));
    EXPECT_EQ(2u, sizeof(VARIANT_BOOL));

    EXPECT_EQ(16u, sizeof(VMR9NormalizedRect));
    EXPECT_EQ(0u, offsetof(VMR9AlphaBitmap, dwFlags));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, hdc) + sizeof(HDC), offsetof(VMR9AlphaBitmap, pDDS));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, pDDS) + sizeof(void *), offsetof(VMR9AlphaBitmap, rSrc));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, rSrc) + sizeof(RECT), offsetof(VMR9AlphaBitmap, rDest));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, rDest) + sizeof(VMR9NormalizedRect), offsetof(VMR9AlphaBitmap, fAlpha));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, fAlpha) + 4, offsetof(VMR9AlphaBitmap, clrSrcKey));
    EXPECT_EQ(offsetof(VMR9AlphaBitmap, clrSrcKey) + 4, offsetof(VMR9AlphaBitmap, dwFilterMode));
}

} // namespace
