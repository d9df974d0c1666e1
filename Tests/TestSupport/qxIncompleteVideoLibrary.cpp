// A video-decoding library that lacks one function ("GetCurrentPts"): the
// player must refuse it. Every other function is an empty stand-in.
#define QX_STUB(name) \
  extern "C" __attribute__((visibility("default"))) void name() {}

QX_STUB(OpenMediaFile)
QX_STUB(OpenMediaFile2)
QX_STUB(CloseMediaFile)
QX_STUB(AllocBuffer)
QX_STUB(AllocBufferWithData)
QX_STUB(FreeBuffer)
QX_STUB(ConvertFrame)
QX_STUB(GetNextVideoFrame)
QX_STUB(SeekFile)
QX_STUB(GetFormatName)
QX_STUB(Flush)
QX_STUB(FlushVideo)
QX_STUB(GetFrameInfo)
QX_STUB(GetDtsPts)
QX_STUB(GetDtsPts2)
QX_STUB(GetAudioInfo)
QX_STUB(OpenAudioStream)
QX_STUB(CloseAudioStream)
QX_STUB(GetNextAudioFrame)
QX_STUB(AfterAudioSeek)
QX_STUB(CreateVideoFile)
QX_STUB(CreateAudioFile)
QX_STUB(CreateVideoAudioFile)
