#include "picture/jpeg_error.h"

#include <jerror.h>

#include <cstddef>
#include <type_traits>

static_assert(std::is_standard_layout_v<JpegErrorManager>);
static_assert(offsetof(JpegErrorManager, pub) == 0);

namespace {

JpegErrorManager &Manager(j_common_ptr cinfo)
{
    return *reinterpret_cast<JpegErrorManager *>(cinfo->err);
}

[[noreturn]] void Leave(j_common_ptr cinfo)
{
    JpegErrorManager &err = Manager(cinfo);
    err.ownMessage = nullptr;
    (*cinfo->err->format_message)(cinfo, err.message);
    std::longjmp(err.jump, 1);
}

void ErrorExit(j_common_ptr cinfo)
{
    Leave(cinfo);
}

// Warnings that mean pixels were lost: the library would go on and fill the gap with
// grey, and a half-grey picture must not slip in as if it were the chosen one.
bool LosesData(const JpegErrorManager &err, int code)
{
    switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
        return true;
    case JWRN_JPEG_EOF:
        return !err.endOfFileTolerated;
    case JWRN_EXTRANEOUS_DATA:
        return err.extraneousDataFatal;
    default:
        return false;
    }
}

void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output
    if (LosesData(Manager(cinfo), cinfo->err->msg_code))
        Leave(cinfo);
    ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) { }

} // namespace

jpeg_error_mgr *InstallJpegErrorManager(JpegErrorManager &err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    err.message[0] = '\0';
    err.ownMessage = nullptr;
    err.endOfFileTolerated = false;
    err.extraneousDataFatal = false;
    return &err.pub;
}

QString JpegCodeText(int code)
{
    // By code, not by the library's English text, which differs between its versions.
    switch (code) {
    case JERR_NO_SOI:
        return QStringLiteral("это не изображение JPEG");
    case JERR_INPUT_EMPTY:
        return QStringLiteral("файл пуст");
    case JERR_INPUT_EOF:
    case JWRN_JPEG_EOF:
        return QStringLiteral("файл обрывается раньше конца изображения");
    case JWRN_HIT_MARKER:
        return QStringLiteral("данные изображения обрываются раньше времени");
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JERR_BAD_DCT_COEF:
        return QStringLiteral("данные изображения повреждены");
    case JWRN_EXTRANEOUS_DATA:
        return QStringLiteral("между частями изображения лишние данные, файл повреждён");
    case JERR_BAD_HUFF_TABLE:
    case JERR_HUFF_CLEN_OVERFLOW:
    case JERR_HUFF_MISSING_CODE:
    case JERR_DHT_INDEX:
        return QStringLiteral("неверная таблица кодов Хаффмана");
    case JERR_NO_HUFF_TABLE:
        return QStringLiteral("нет нужной таблицы кодов Хаффмана");
    case JERR_NO_QUANT_TABLE:
    case JERR_DQT_INDEX:
        return QStringLiteral("неверная или отсутствующая таблица квантования");
    case JERR_NO_ARITH_TABLE:
    case JERR_DAC_INDEX:
    case JERR_DAC_VALUE:
        return QStringLiteral("неверная таблица арифметического кодирования");
    case JERR_BAD_LENGTH:
        return QStringLiteral("неверная длина служебного блока");
    case JERR_BAD_SAMPLING:
    case JERR_BAD_MCU_SIZE:
        return QStringLiteral("неверные коэффициенты прореживания цвета");
    case JERR_BAD_COMPONENT_ID:
    case JERR_COMPONENT_COUNT:
        return QStringLiteral("неверные цветовые составляющие");
    case JERR_BAD_PRECISION:
        return QStringLiteral("неподдерживаемая точность данных: поддерживается только 8 бит");
    case JERR_BAD_J_COLORSPACE:
    case JERR_BAD_IN_COLORSPACE:
    case JERR_CONVERSION_NOTIMPL:
        return QStringLiteral("неподдерживаемое цветовое пространство");
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return QStringLiteral("изображение слишком велико");
    case JERR_EMPTY_IMAGE:
        return QStringLiteral("изображение нулевого размера");
    case JERR_NO_IMAGE:
        return QStringLiteral("в файле нет изображения");
    case JERR_SOF_DUPLICATE:
    case JERR_SOF_NO_SOS:
    case JERR_SOI_DUPLICATE:
    case JERR_SOS_NO_SOF:
    case JERR_EOI_EXPECTED:
    case JERR_BAD_PROGRESSION:
    case JERR_MISMATCHED_QUANT_TABLE:
        return QStringLiteral("нарушена структура файла JPEG");
    case JERR_SOF_UNSUPPORTED:
        return QStringLiteral("неподдерживаемый способ сжатия JPEG");
    case JERR_NOTIMPL:
    case JERR_NOT_COMPILED:
#if JPEG_LIB_VERSION < 70
    case JERR_ARITH_NOTIMPL:
#endif
        return QStringLiteral("файл использует возможность JPEG, которая не поддерживается");
    case JERR_UNKNOWN_MARKER:
        return QStringLiteral("неизвестный служебный блок в файле");
    case JERR_OUT_OF_MEMORY:
        return QStringLiteral("недостаточно памяти");
    case JERR_FILE_READ:
        return QStringLiteral("ошибка чтения файла");
    case JERR_FILE_WRITE:
        return QStringLiteral("ошибка записи файла");
    default:
        return QStringLiteral("ошибка библиотеки JPEG номер %1").arg(code);
    }
}

QString JpegFailureText(const JpegErrorManager &err)
{
    if (err.ownMessage != nullptr)
        return QString::fromUtf8(err.ownMessage);
    return JpegCodeText(err.pub.msg_code);
}

void FailJpeg(JpegErrorManager &err, const char *message)
{
    err.ownMessage = message;
    std::longjmp(err.jump, 1);
}
