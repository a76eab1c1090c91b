// cvusbComm: the commands of a CorvUsb device (loader or mask ROM), as twelve C functions.
//
// Every function takes the device path (the NUL-terminated device-interface path) first and
// returns a signed 32-bit result, 0 for success. Arguments are checked before anything is sent:
// a bad one gives CVU_ERR_ARGUMENT and the device never sees the call.
//
// Wire protocol. One call is one transaction on the device's two bulk pipes, the write pipe
// "<device path>\PIPE00" and the read pipe "<device path>\PIPE01", both opened for the call
// and closed after it. All fields are little-endian.
//
//   1. Command block, 32 bytes, host -> write pipe:
//        0  4 bytes  "CVUC"
//        4  u32      tag: chosen by the host, echoed in the status
//        8  u8       opcode (table below)
//        9  3 bytes  0
//       12  u32 x 4  parameters p0..p3 (unused ones 0)
//       28  u32      data-phase length in bytes
//   2. Data phase, exactly the announced length, in the opcode's direction: host -> write pipe
//      ("out") or device -> read pipe ("in"). An in-phase is always sent in full, zero-filled
//      where the device has nothing to give, so the host never waits for bytes that will not
//      come. A length that does not match the parameters is refused.
//   3. Status block, 16 bytes, device -> read pipe:
//        0  4 bytes  "CVUS"
//        4  u32      tag of the command
//        8  i32      result (codes below)
//       12  u32      data-phase length of the command, echoed
//
//   op    function              p0            p1            p2          p3    data phase
//   0x01  CVU_ReadFlashInfo     -             -             -           -     in 16
//   0x02  CVU_ReadChipInfo      -             -             -           -     in 16
//   0x03  CVU_TestBadBlock      chip          first block   count       -     in 64
//   0x04  CVU_EraseBlock        chip          first block   count       kind  none
//   0x05  CVU_ReadSector        first sector  count         mode        -     in count x 528
//   0x06  CVU_WriteSector       first sector  count         mode        -     out count x 528
//   0x07  CVU_ReadLBA           first LBA     count         -           -     in count x 512
//   0x08  CVU_WriteLBA          first LBA     count         -           -     out count x 512
//   0x09  CVU_EraseSystemDisk   -             -             -           -     none
//   0x0A  CVU_TestUnitReady     -             -             -           -     in 8: u32 total,
//                                                                               u32 done
//   0x0B  CVU_SetResetFlag      -             -             -           -     none
//   0x0C  CVU_ResetDevice       -             -             -           -     none
//
// Raw sectors are 528-byte units (512 data + 16 spare); physical sector s is sector
// s mod chip size of chip s div chip size. The bad-block bitmap marks block first+8j+k with
// bit k of byte j; only the first `count` bits mean anything.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Results. 0, -5 and -7 are what callers test for; the rest say why a call failed.
#define CVU_OK 0
#define CVU_ERR_TRANSPORT (-1)   // pipes cannot be opened, or a transfer failed (device gone)
#define CVU_ERR_PROTOCOL (-2)    // the device answered something that is not a valid status
#define CVU_ERR_ARGUMENT (-3)    // a bad argument; nothing was sent
#define CVU_ERR_DEVICE (-4)      // the device could not do it (program or erase failure, ...)
#define CVU_BUSY (-5)            // CVU_TestUnitReady: still preparing, ask again later
#define CVU_ERR_UNSUPPORTED (-6) // the device does not know this command
#define CVU_BAD_BLOCK (-7)       // bad blocks present (test) or met (erase)
#define CVU_ERR_RANGE (-8)       // an address beyond the device's flash or disk
#define CVU_ERR_READ (-9)        // the flash could not be read
#define CVU_ERR_TIMEOUT (-10)    // the device is there but did not answer within the command's
                                 // time bound; it will not answer the next command either

// Limits of one call.
#define CVU_MAX_SECTORS 20        // CVU_ReadSector / CVU_WriteSector
#define CVU_MAX_BLOCKS 512        // CVU_TestBadBlock
#define CVU_MAX_LBA_SECTORS 2048  // CVU_ReadLBA / CVU_WriteLBA (1 MiB)
#define CVU_RAW_SECTOR_SIZE 528
#define CVU_ERASE_NORMAL 6        // erase good blocks, pass over bad ones
#define CVU_ERASE_FORCE 11        // also clears the blocks the loader marked bad itself

// out: the 16-byte flash information record.
int CVU_ReadFlashInfo(const char* devicePath, unsigned char* info);
// out: 16 bytes of chip information.
int CVU_ReadChipInfo(const char* devicePath, unsigned char* info);
// chip 0-7, blockCount 1-512; out: 64-byte bitmap. 0 all good, CVU_BAD_BLOCK some bad.
int CVU_TestBadBlock(const char* devicePath, int chip, unsigned int firstBlock,
                     unsigned int blockCount, unsigned char* bitmap);
// eraseKind CVU_ERASE_NORMAL or CVU_ERASE_FORCE. CVU_BAD_BLOCK when bad blocks were passed over.
int CVU_EraseBlock(const char* devicePath, int chip, unsigned int firstBlock,
                   unsigned int blockCount, int eraseKind);
// sectorCount 1-20, mode 1; buffer of sectorCount x 528 bytes.
int CVU_ReadSector(const char* devicePath, unsigned int firstSector, unsigned int sectorCount,
                   int mode, unsigned char* buffer);
int CVU_WriteSector(const char* devicePath, unsigned int firstSector, unsigned int sectorCount,
                    int mode, const unsigned char* buffer);
// sectorCount 1-2048; buffer of sectorCount x 512 bytes.
int CVU_ReadLBA(const char* devicePath, unsigned int lba, unsigned int sectorCount,
                unsigned char* buffer);
int CVU_WriteLBA(const char* devicePath, unsigned int lba, unsigned int sectorCount,
                 const unsigned char* buffer);
int CVU_EraseSystemDisk(const char* devicePath);
// total and done (each may be null) receive the progress of the device's preparation.
int CVU_TestUnitReady(const char* devicePath, unsigned int* total, unsigned int* done);
int CVU_SetResetFlag(const char* devicePath);
// The device answers, then leaves the bus and comes back with a new device path.
int CVU_ResetDevice(const char* devicePath);

#ifdef __cplusplus
}
#endif
